// The simulated SetupAPI INF services: SetupOpenInfFileA, SetupFindFirstLineA,
// SetupFindNextLine, SetupGetStringFieldA and SetupCloseInfFile, over INF
// files on the simulated drive C:.
//
// Model. Each rule below was compared with Wine 8's setupapi on the INF
// corpus of tests/wine_inf (marked [Wine]); the others follow Microsoft's
// INF and SetupAPI documentation.
//
// Opening. The file is read whole through the host path of its Windows path;
//   a missing file gives 2, a missing folder 3, a folder 5 [Wine]; a name
//   without a folder (searched for in <Windows>\inf by Windows) is not
//   modelled. An empty file gives 1006 [Wine]. Only INF_STYLE_WIN4 with no
//   class and no error-line output is modelled. The file must parse, then
//   hold a [Version] section whose Signature is "$Windows NT$" or "$Chicago$"
//   (case-insensitive, no string substitution, anywhere in the file) or the
//   open fails with ERROR_WRONG_INF_STYLE [Wine]. Wine also accepts
//   "$Windows 95$", which Windows documents as not accepted.
// Encoding. A UTF-16LE byte-order mark makes the file UTF-16 [Wine]; a
//   UTF-8 mark with text behind it makes it UTF-8 [Wine: a file of the mark
//   alone reads as ANSI]; anything else is ANSI, code page 1252, every byte
//   kept [Wine]. Windows documents that UTF-16 needs the mark; Wine also
//   guesses UTF-16 without one. A zero byte reads as a blank, the first
//   Ctrl-Z ends the file, also inside a line [Wine]. Fields reach an ANSI
//   caller in code page 1252 with '?' for what it lacks [Wine]; Wine's
//   best-fit mapping (A for A-macron) is not modelled.
// Lines. Only a line feed ends a line: a file with carriage returns alone is
//   one line, so its [Version] header swallows the rest and the open fails
//   with ERROR_WRONG_INF_STYLE [Wine]. Blanks are space, tab, CR, VT, FF and
//   0xA0 [Wine]. Empty lines and ';' comment lines are skipped. A line
//   before the first section header fails the open with 0xE0000000 [Wine].
// Sections. "[name]": the name runs to the first ']' as written, blanks
//   included, at most 255 characters (more: 0xE0000002), the rest of the
//   header line is ignored; no ']' fails with 0xE0000001 [Wine]. Names
//   compare without regard to ASCII case, and sections of the same name
//   merge in file order [Wine].
// Fields. The key is the text before the first '=' outside quotes, while no
//   comma has come; a line without '=' that holds a single field has it as
//   its key too, else it has no key [Wine]. Commas outside quotes split the
//   fields; an empty field between commas and one after a trailing comma
//   are present and empty [Wine]. Double quotes may open and close anywhere
//   in a field, "" inside quotes is one '"', a line end closes an open quote;
//   ';' outside quotes starts a comment. Unquoted blanks at the start and
//   end of a field are dropped, blanks inside it kept [Wine].
// Continuation. A backslash followed only by backslashes and blanks up to
//   the line end or a ';' comment joins the next line: the backslashes, the
//   blanks before and after and the line feed go, and so do the next line's
//   leading blanks; an empty next line still ends the line. Any other
//   backslash, and every backslash inside quotes, is text [Wine].
// Strings. When a field is read, %strkey% is replaced by the first field of
//   the [Strings] line with that key (compared without regard to case), %%
//   gives %, an unknown %key% and a lone % stay as written; substitution
//   works inside quoted text too and is not repeated on what it inserts
//   [Wine]. Only the plain [Strings] section is used, not
//   [Strings.<language>]. Directory IDs (%10%) are not modelled: such a read
//   is recorded as unexpected.
// Reading. SetupFindFirstLineA with no key goes to the section's first line;
//   a missing section and an empty one both fail with ERROR_LINE_NOT_FOUND
//   [Wine]. SetupFindNextLine fails with ERROR_LINE_NOT_FOUND after the last
//   line [Wine], leaving the output context alone. SetupGetStringFieldA
//   counts the ANSI text with its terminator; a buffer too small fails with
//   122 and stores nothing [Wine]; a field that is not there (an index past
//   the last field, or 0 on a line without key) fails with last error 0
//   [Wine]. A NULL buffer only reports the size.
// Handles. Every open gives a new handle; contexts carry the handle, a
//   section and a line number. A closed or unknown handle, or a context that
//   does not point at a line of an open INF, is recorded as unexpected.
#include <cstring>
#include <filesystem>
#include <map>

#include "sim_inf_parser.h"
#include "sim_internal.h"

namespace sim {

namespace {

struct OpenInf {
    std::string path; // as the caller named it
    InfText text;
};

std::map<HINF, OpenInf> g_openInfs;
uintptr_t g_nextInf = 1;

HINF NewInfHandle()
{
    return (HINF)(0x1F000 + 0x10 * g_nextInf++);
}

std::string ContextText(const INFCONTEXT *context)
{
    if (context == nullptr) {
        return "NULL";
    }
    return "{" + Ptr(context->Inf) + ", " + Dec(context->Section) + ", " + Dec(context->Line) + "}";
}

// The line a context stands on, or nullptr when it stands on none.
const InfLine *LineOf(const INFCONTEXT *context, const OpenInf **inf)
{
    if (context == nullptr || context->Inf != context->CurrentInf) {
        return nullptr;
    }
    auto found = g_openInfs.find(context->Inf);
    if (found == g_openInfs.end()) {
        return nullptr;
    }
    const std::vector<InfSection> &sections = found->second.text.sections;
    if (context->Section >= sections.size() || context->Line >= sections[context->Section].lines.size()) {
        return nullptr;
    }
    *inf = &found->second;
    return &sections[context->Section].lines[context->Line];
}

bool HasFolder(const char *name)
{
    return std::strchr(name, '\\') != nullptr || std::strchr(name, '/') != nullptr;
}

} // namespace

void ResetInf()
{
    g_openInfs.clear();
    g_nextInf = 1;
}

std::string InfHandlesText()
{
    std::string text;
    for (const auto &open : g_openInfs) {
        text += "INF " + Ptr(open.first) + " " + Quote(open.second.path.c_str()) + "\n";
    }
    return text;
}

} // namespace sim

using namespace sim;

HINF WINAPI SetupOpenInfFileA(PCSTR FileName, PCSTR InfClass, DWORD InfStyle, UINT *ErrorLine)
{
    static const char NAME[] = "SetupOpenInfFileA";
    DWORD fault = Enter(NAME);
    std::string args = Quote(FileName) + ", " + Quote(InfClass) + ", " + Hex(InfStyle) + ", " + Ptr(ErrorLine);
    if (FileName == nullptr || !HasFolder(FileName) || InfClass != nullptr || InfStyle != INF_STYLE_WIN4 ||
        ErrorLine != nullptr) {
        RecordUnexpected(NAME, args, "only a full path, no class, INF_STYLE_WIN4 and no error line are modelled");
        return INVALID_HANDLE_VALUE;
    }
    if (fault != 0) {
        SetError(fault);
        Record(NAME, args, "INVALID_HANDLE_VALUE");
        return INVALID_HANDLE_VALUE;
    }
    std::string hostPath;
    DWORD error = ResolvePath(FileName, &hostPath);
    std::string bytes;
    if (error == 0) {
        std::error_code ignored;
        bool ok = false;
        if (std::filesystem::is_directory(hostPath, ignored)) {
            error = ERROR_ACCESS_DENIED;
        } else {
            bytes = ReadHostFile(hostPath, &ok);
            error = ok ? 0 : ERROR_ACCESS_DENIED;
        }
    }
    OpenInf inf;
    inf.path = FileName;
    if (error == 0) {
        error = ParseInf(bytes, &inf.text);
    }
    if (error != 0) {
        SetError(error);
        Record(NAME, args, "INVALID_HANDLE_VALUE");
        return INVALID_HANDLE_VALUE;
    }
    HINF handle = NewInfHandle();
    g_openInfs[handle] = std::move(inf);
    Record(NAME, args, Ptr(handle));
    return handle;
}

BOOL WINAPI SetupFindFirstLineA(HINF InfHandle, PCSTR Section, PCSTR Key, PINFCONTEXT Context)
{
    static const char NAME[] = "SetupFindFirstLineA";
    DWORD fault = Enter(NAME);
    std::string args = Ptr(InfHandle) + ", " + Quote(Section) + ", " + Quote(Key) + ", " + Ptr(Context);
    auto open = g_openInfs.find(InfHandle);
    if (open == g_openInfs.end() || Section == nullptr || Context == nullptr) {
        RecordUnexpected(NAME, args, "unknown INF handle, or no section or context");
        return FALSE;
    }
    if (Key != nullptr) {
        RecordUnexpected(NAME, args, "a search by key is not modelled");
        return FALSE;
    }
    if (fault != 0) {
        return ReturnBool(NAME, args, fault);
    }
    const std::vector<InfSection> &sections = open->second.text.sections;
    const InfSection *section = FindInfSection(open->second.text, Section);
    if (section == nullptr || section->lines.empty()) {
        return ReturnBool(NAME, args, INF_ERROR_LINE_NOT_FOUND);
    }
    Context->Inf = InfHandle;
    Context->CurrentInf = InfHandle;
    Context->Section = (UINT)(section - sections.data());
    Context->Line = 0;
    Record(NAME, args, "TRUE " + ContextText(Context));
    return TRUE;
}

BOOL WINAPI SetupFindNextLine(PINFCONTEXT ContextIn, PINFCONTEXT ContextOut)
{
    static const char NAME[] = "SetupFindNextLine";
    DWORD fault = Enter(NAME);
    std::string args = ContextText(ContextIn) + ", " + Ptr(ContextOut);
    const OpenInf *inf = nullptr;
    if (LineOf(ContextIn, &inf) == nullptr || ContextOut == nullptr) {
        RecordUnexpected(NAME, args, "the context stands on no line of an open INF");
        return FALSE;
    }
    if (fault != 0) {
        return ReturnBool(NAME, args, fault);
    }
    const InfSection &section = inf->text.sections[ContextIn->Section];
    if (ContextIn->Line + 1 >= section.lines.size()) {
        return ReturnBool(NAME, args, INF_ERROR_LINE_NOT_FOUND);
    }
    INFCONTEXT next = *ContextIn;
    next.Line += 1;
    *ContextOut = next;
    Record(NAME, args, "TRUE " + ContextText(ContextOut));
    return TRUE;
}

BOOL WINAPI SetupGetStringFieldA(PINFCONTEXT Context, DWORD FieldIndex, PSTR ReturnBuffer, DWORD ReturnBufferSize,
                                 PDWORD RequiredSize)
{
    static const char NAME[] = "SetupGetStringFieldA";
    DWORD fault = Enter(NAME);
    std::string args = ContextText(Context) + ", " + Dec(FieldIndex) + ", " + Ptr(ReturnBuffer) + ", " +
                       Dec(ReturnBufferSize) + ", " + Ptr(RequiredSize);
    const OpenInf *inf = nullptr;
    const InfLine *line = LineOf(Context, &inf);
    if (line == nullptr) {
        RecordUnexpected(NAME, args, "the context stands on no line of an open INF");
        return FALSE;
    }
    if (fault != 0) {
        return ReturnBool(NAME, args, fault);
    }
    const std::u16string *field = nullptr;
    if (FieldIndex == 0) {
        field = line->hasKey ? &line->key : nullptr;
    } else if (FieldIndex <= line->fields.size()) {
        field = &line->fields[FieldIndex - 1];
    }
    if (field == nullptr) {
        SetError(ERROR_SUCCESS); // as Wine: the call fails without an error code
        Record(NAME, args, "FALSE (no such field)");
        return FALSE;
    }
    bool unmodelled = false;
    std::string text = ExpandInfField(inf->text, *field, &unmodelled);
    if (unmodelled) {
        RecordUnexpected(NAME, args, "a directory ID in the field is not modelled");
        return FALSE;
    }
    DWORD needed = (DWORD)text.size() + 1;
    if (RequiredSize != nullptr) {
        *RequiredSize = needed;
    }
    if (ReturnBuffer != nullptr) {
        if (ReturnBufferSize < needed) {
            SetError(ERROR_INSUFFICIENT_BUFFER);
            Record(NAME, args, "FALSE (needs " + Dec(needed) + ")");
            return FALSE;
        }
        std::memcpy(ReturnBuffer, text.c_str(), needed);
    }
    Record(NAME, args, "TRUE " + Quote(text.c_str()));
    return TRUE;
}

void WINAPI SetupCloseInfFile(HINF InfHandle)
{
    static const char NAME[] = "SetupCloseInfFile";
    Enter(NAME, false);
    std::string args = Ptr(InfHandle);
    if (g_openInfs.erase(InfHandle) == 0) {
        RecordUnexpected(NAME, args, "unknown INF handle");
        return;
    }
    Record(NAME, args, "");
}
