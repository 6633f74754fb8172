// The simulated SetupAPI's INF parser. The rules, and where each was
// confirmed, are listed at the top of sim_inf.cpp.
#include "sim_inf_parser.h"

namespace sim {

namespace {

// Code page 1252 bytes 0x80..0x9F; the five the code page leaves undefined
// map to the control characters of the same number, so every byte survives a
// round trip.
const char16_t CP1252_HIGH[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t FromAnsi(unsigned char byte)
{
    if (byte >= 0x80 && byte <= 0x9F) {
        return CP1252_HIGH[byte - 0x80];
    }
    return byte;
}

char ToAnsi(char16_t unit)
{
    if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) {
        return (char)unit;
    }
    for (int i = 0; i < 32; ++i) {
        if (CP1252_HIGH[i] == unit) {
            return (char)(0x80 + i);
        }
    }
    return '?';
}

// UTF-8 to UTF-16; a malformed sequence gives U+FFFD.
std::u16string FromUtf8(const std::string &bytes, size_t start)
{
    std::u16string text;
    size_t i = start;
    while (i < bytes.size()) {
        unsigned char lead = (unsigned char)bytes[i];
        int more = lead < 0x80 ? 0 : (lead & 0xE0) == 0xC0 ? 1 : (lead & 0xF0) == 0xE0 ? 2 : (lead & 0xF8) == 0xF0 ? 3 : -1;
        if (more < 0 || i + (size_t)more >= bytes.size()) {
            text.push_back(0xFFFD);
            ++i;
            continue;
        }
        char32_t code = more == 0 ? lead : lead & (0x3F >> more);
        bool good = true;
        for (int k = 1; k <= more; ++k) {
            unsigned char next = (unsigned char)bytes[i + k];
            good = good && (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3F);
        }
        if (!good) {
            text.push_back(0xFFFD);
            ++i;
            continue;
        }
        i += (size_t)more + 1;
        if (code >= 0x10000) {
            code -= 0x10000;
            text.push_back((char16_t)(0xD800 + (code >> 10)));
            text.push_back((char16_t)(0xDC00 + (code & 0x3FF)));
        } else {
            text.push_back((char16_t)code);
        }
    }
    return text;
}

// The file as UTF-16 text: a UTF-16LE byte-order mark or a UTF-8 one (with
// something behind it) chooses the encoding, anything else is ANSI. A zero
// becomes a blank, and the first Ctrl-Z ends the text.
std::u16string DecodeInf(const std::string &bytes)
{
    std::u16string text;
    if (bytes.size() >= 2 && (unsigned char)bytes[0] == 0xFF && (unsigned char)bytes[1] == 0xFE) {
        for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
            text.push_back((char16_t)((unsigned char)bytes[i] | ((unsigned char)bytes[i + 1] << 8)));
        }
    } else if (bytes.size() > 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        text = FromUtf8(bytes, 3);
    } else {
        for (char byte : bytes) {
            text.push_back(FromAnsi((unsigned char)byte));
        }
    }
    size_t end = text.find(u'\x1A');
    if (end != std::u16string::npos) {
        text.resize(end);
    }
    for (char16_t &unit : text) {
        if (unit == 0) {
            unit = u' ';
        }
    }
    return text;
}

bool IsBlank(char16_t unit)
{
    return unit == u' ' || unit == u'\t' || unit == u'\r' || unit == u'\v' || unit == u'\f' || unit == 0xA0;
}

char16_t FoldAscii(char16_t unit)
{
    return unit >= u'A' && unit <= u'Z' ? (char16_t)(unit + 0x20) : unit;
}

bool SameText(const std::u16string &a, const std::u16string &b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (FoldAscii(a[i]) != FoldAscii(b[i])) {
            return false;
        }
    }
    return true;
}

std::u16string Widen(const std::string &ansi)
{
    std::u16string text;
    for (char byte : ansi) {
        text.push_back(FromAnsi((unsigned char)byte));
    }
    return text;
}

// Reads the logical line that starts at *pos (not a section header, not a
// comment): the key before the first unquoted '=', fields split at unquoted
// commas. Sets *pos to the start of the next physical line.
class LineReader {
public:
    LineReader(const std::u16string &text, size_t *pos) : text_(text), pos_(*pos), out_(pos) {}

    // Returns false when the line held nothing (only continuations).
    bool Read(InfLine *line)
    {
        line->hasKey = false;
        while (pos_ < text_.size() && text_[pos_] != u'\n') {
            char16_t unit = text_[pos_];
            if (unit == u'"') {
                ReadQuoted();
            } else if (unit == u';') {
                SkipToLineEnd();
            } else if (unit == u'\\' && ContinuesLine()) {
                // Blanks before the backslash go too: "a \" + "b" reads "ab".
                pending_.clear();
            } else if (unit == u'=' && !line->hasKey && line->fields.empty()) {
                line->hasKey = true;
                line->key = TakeField();
                ++pos_;
            } else if (unit == u',') {
                line->fields.push_back(TakeField());
                ++pos_;
            } else if (IsBlank(unit)) {
                if (started_) {
                    pending_.push_back(unit);
                }
                ++pos_;
            } else {
                Append(unit);
                ++pos_;
            }
        }
        if (pos_ < text_.size()) {
            ++pos_; // the line feed
        }
        *out_ = pos_;
        bool any = line->hasKey || !line->fields.empty() || started_;
        if (any) {
            line->fields.push_back(TakeField());
        }
        // A line without '=' that holds a single field has that field as
        // its key too.
        if (!line->hasKey && line->fields.size() == 1) {
            line->hasKey = true;
            line->key = line->fields[0];
        }
        return any;
    }

private:
    void Append(char16_t unit)
    {
        field_ += pending_;
        pending_.clear();
        field_.push_back(unit);
        started_ = true;
    }

    // A quoted part: "" inside stands for one '"'; the line end closes it.
    void ReadQuoted()
    {
        field_ += pending_;
        pending_.clear();
        started_ = true;
        ++pos_;
        while (pos_ < text_.size() && text_[pos_] != u'\n') {
            if (text_[pos_] == u'"') {
                if (pos_ + 1 < text_.size() && text_[pos_ + 1] == u'"') {
                    field_.push_back(u'"');
                    pos_ += 2;
                    continue;
                }
                ++pos_;
                return;
            }
            field_.push_back(text_[pos_]);
            ++pos_;
        }
    }

    void SkipToLineEnd()
    {
        while (pos_ < text_.size() && text_[pos_] != u'\n') {
            ++pos_;
        }
    }

    // A backslash followed only by backslashes and blanks up to the line end
    // or a comment continues the line: all of them, the comment and the line
    // feed are dropped, and so are the next line's leading blanks. Any other
    // backslash is text.
    bool ContinuesLine()
    {
        size_t at = pos_ + 1;
        while (at < text_.size() && (text_[at] == u'\\' || IsBlank(text_[at]))) {
            ++at;
        }
        if (at < text_.size() && text_[at] != u'\n' && text_[at] != u';') {
            return false;
        }
        pos_ = at;
        SkipToLineEnd();
        if (pos_ < text_.size()) {
            ++pos_;
        }
        while (pos_ < text_.size() && IsBlank(text_[pos_])) {
            ++pos_;
        }
        return true;
    }

    std::u16string TakeField()
    {
        std::u16string field;
        field.swap(field_);
        pending_.clear();
        started_ = false;
        return field;
    }

    const std::u16string &text_;
    size_t pos_;
    size_t *out_;
    std::u16string field_;
    std::u16string pending_; // blanks that count only if more text follows
    bool started_ = false;   // the field has begun (text or a quote seen)
};

InfSection *FindSection(InfText &inf, const std::u16string &name)
{
    for (InfSection &section : inf.sections) {
        if (SameText(section.name, name)) {
            return &section;
        }
    }
    return nullptr;
}

// A Windows 4 style INF has a [Version] section whose Signature is
// "$Windows NT$" or "$Chicago$", compared without regard to case and without
// string substitution.
bool HasWin4Signature(const InfText &inf)
{
    const InfSection *version = FindInfSection(inf, "Version");
    if (version == nullptr) {
        return false;
    }
    for (const InfLine &line : version->lines) {
        if (line.hasKey && SameText(line.key, u"Signature")) {
            if (line.fields.empty()) {
                return false;
            }
            return SameText(line.fields[0], u"$Windows NT$") || SameText(line.fields[0], u"$Chicago$");
        }
    }
    return false;
}

} // namespace

DWORD ParseInf(const std::string &fileBytes, InfText *inf)
{
    if (fileBytes.empty()) {
        return INF_ERROR_FILE_INVALID;
    }
    std::u16string text = DecodeInf(fileBytes);
    inf->sections.clear();
    InfSection *current = nullptr;
    size_t pos = 0;
    while (pos < text.size()) {
        while (pos < text.size() && IsBlank(text[pos])) {
            ++pos;
        }
        if (pos >= text.size()) {
            break;
        }
        if (text[pos] == u'\n') {
            ++pos;
            continue;
        }
        if (text[pos] == u';') {
            size_t end = text.find(u'\n', pos);
            pos = end == std::u16string::npos ? text.size() : end + 1;
            continue;
        }
        if (text[pos] == u'[') {
            // The name runs to the first ']' as written, blanks included;
            // the rest of the header line is ignored.
            size_t end = text.find(u'\n', pos);
            if (end == std::u16string::npos) {
                end = text.size();
            }
            size_t close = text.find(u']', pos);
            if (close == std::u16string::npos || close > end) {
                return INF_ERROR_BAD_SECTION_NAME_LINE;
            }
            std::u16string name = text.substr(pos + 1, close - pos - 1);
            if (name.size() > INF_MAX_SECTION_NAME) {
                return INF_ERROR_SECTION_NAME_TOO_LONG;
            }
            current = FindSection(*inf, name);
            if (current == nullptr) {
                inf->sections.push_back(InfSection{name, {}});
                current = &inf->sections.back();
            }
            pos = end < text.size() ? end + 1 : end;
            continue;
        }
        InfLine line;
        LineReader reader(text, &pos);
        if (!reader.Read(&line)) {
            continue;
        }
        if (current == nullptr) {
            return INF_ERROR_EXPECTED_SECTION_NAME;
        }
        current->lines.push_back(line);
    }
    if (!HasWin4Signature(*inf)) {
        return INF_ERROR_WRONG_INF_STYLE;
    }
    return 0;
}

const InfSection *FindInfSection(const InfText &inf, const std::string &name)
{
    return FindSection(const_cast<InfText &>(inf), Widen(name));
}

std::string ExpandInfField(const InfText &inf, const std::u16string &field, bool *unmodelled)
{
    const InfSection *strings = FindInfSection(inf, "Strings");
    std::u16string out;
    size_t i = 0;
    while (i < field.size()) {
        size_t open = field.find(u'%', i);
        if (open == std::u16string::npos) {
            out.append(field, i, std::u16string::npos);
            break;
        }
        out.append(field, i, open - i);
        size_t close = field.find(u'%', open + 1);
        if (close == std::u16string::npos) {
            out.append(field, open, std::u16string::npos); // a lone '%' stays
            break;
        }
        i = close + 1;
        std::u16string key = field.substr(open + 1, close - open - 1);
        if (key.empty()) {
            out.push_back(u'%');
            continue;
        }
        const InfLine *found = nullptr;
        if (strings != nullptr) {
            for (const InfLine &line : strings->lines) {
                if (line.hasKey && !line.fields.empty() && SameText(line.key, key)) {
                    found = &line;
                    break;
                }
            }
        }
        if (found != nullptr) {
            out += found->fields[0];
            continue;
        }
        if (key.find_first_not_of(u"0123456789") == std::u16string::npos) {
            *unmodelled = true; // a directory ID
        }
        out.append(field, open, close - open + 1); // unknown: kept as written
    }
    std::string ansi;
    for (char16_t unit : out) {
        ansi.push_back(ToAnsi(unit));
    }
    return ansi;
}

} // namespace sim
