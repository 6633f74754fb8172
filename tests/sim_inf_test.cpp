// The simulated SetupAPI INF services: the INF parsing rules as a table of
// small INF snippets, the open's failures, and each call's results, errors,
// faults and journal records. tests/wine_inf/compare.sh checks the same
// rules against Wine's setupapi on a corpus of whole files.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "sim_internal.h"
#include "test_support.h"

namespace {

const char INF_PATH[] = "C:\\Windows\\inf\\oem3.inf";
const char HEADER[] = "[Version]\nSignature=\"$Windows NT$\"\n";
const DWORD SENTINEL = 0xDEADBEEF;

class SimInfTest : public SimTest {
protected:
    HINF Open(const std::string &text)
    {
        sim::AddFile(INF_PATH, text);
        return SetupOpenInfFileA(INF_PATH, NULL, INF_STYLE_WIN4, NULL);
    }
};

// Field `field` of every line of `section`, as "text", "<missing>" or
// "<122>" (too long for a 64-byte buffer), joined by " | "; "<no line>" when
// the section has none and "<open N>" when the INF does not open.
std::string ReadSection(const char *path, const char *section, DWORD field)
{
    HINF inf = SetupOpenInfFileA(path, NULL, INF_STYLE_WIN4, NULL);
    if (inf == INVALID_HANDLE_VALUE) {
        char text[32];
        snprintf(text, sizeof text, "<open 0x%lx>", (unsigned long)GetLastError());
        return text;
    }
    std::string out;
    INFCONTEXT context;
    if (!SetupFindFirstLineA(inf, section, NULL, &context)) {
        out = "<no line>";
    } else {
        const char *separator = "";
        do {
            char buffer[64];
            out += separator;
            separator = " | ";
            if (SetupGetStringFieldA(&context, field, buffer, sizeof buffer, NULL)) {
                out += buffer;
            } else {
                out += GetLastError() == ERROR_INSUFFICIENT_BUFFER ? "<122>" : "<missing>";
            }
        } while (SetupFindNextLine(&context, &context));
    }
    SetupCloseInfFile(inf);
    return out;
}

struct ParseCase {
    const char *name;
    const char *body; // follows the [Version] header
    DWORD field;
    const char *expected;
};

// The INF text rules, one row each; the models lines are read as the
// program reads them (field 2) unless the row names another field.
const ParseCase PARSE_CASES[] = {
    {"plain models lines", "[M]\nA=Inst,USB\\VID_1111\nB=Inst,USB\\VID_2222,Compat\n", 2,
     "USB\\VID_1111 | USB\\VID_2222"},
    {"field 0 is the key", "[M]\nCam Desc = Inst,hw\n", 0, "Cam Desc"},
    {"field 1 is the install section", "[M]\nA=Inst,hw\n", 1, "Inst"},
    {"fields 3 on are compatible IDs", "[M]\nA=Inst,hw,c1,c2\n", 3, "c1"},
    {"only the first '=' splits", "[M]\nA==Inst,x=y\n", 1, "=Inst"},
    {"a line without field 2", "[M]\nA=Inst\nB=Inst,hw\n", 2, "<missing> | hw"},
    {"an empty field 2 is present", "[M]\nA=Inst,,Compat\nB=Inst, ,x\n", 2, " | "},
    {"a trailing comma makes an empty field", "[M]\nA=Inst,hw,\n", 3, ""},
    {"no key: a single field is also the key", "[M]\nLoneField\n", 0, "LoneField"},
    {"no key: several fields, no field 0", "[M]\nInst,hw\n", 0, "<missing>"},
    {"no key: fields count from the first", "[M]\nInst,hw\n", 2, "hw"},
    {"section names ignore case", "[m]\nA=Inst,a\n[M]\nB=Inst,b\n", 2, "a | b"},
    {"same-named sections merge in order", "[M]\nA=Inst,a\n[X]\nX=y\n[M]\nB=Inst,b\n", 2, "a | b"},
    {"blanks in a section name count", "[M ]\nA=Inst,a\n[M]\nB=Inst,b\n", 2, "b"},
    {"text after a section header is ignored", "[M] trailing ; words\nA=Inst,a\n", 2, "a"},
    {"a missing section", "[Other]\nA=Inst,a\n", 2, "<no line>"},
    {"a section with comments only", "[M]\n; nothing\n\n[X]\nA=b\n", 2, "<no line>"},
    {"blanks around fields are trimmed", "[M]\n  A  =  Inst  ,  USB\\VID 1  ,  c  \n", 2, "USB\\VID 1"},
    {"tab, VT, FF, CR and 0xA0 are blanks", "[M]\nA=Inst,\t\v\f\xA0hw\xA0\r\n", 2, "hw"},
    {"quotes keep blanks, commas, semicolons", "[M]\nA=Inst,\"  a, b; c  \"  ,x\n", 2, "  a, b; c  "},
    {"\"\" inside quotes is a quote", "[M]\nA=Inst,\"say \"\"hi\"\"\"\n", 2, "say \"hi\""},
    {"quotes may open mid-field", "[M]\nA=Inst,US\"B\\VID\"_1\n", 2, "USB\\VID_1"},
    {"\"\" outside quotes is nothing", "[M]\nA=Inst,a\"\"b\n", 2, "ab"},
    {"the line end closes a quote", "[M]\nA=Inst,\"open\nB=Inst,next\n", 2, "open | next"},
    {"a quoted '=' is no key", "[M]\n\"A=Inst\",hw\n", 0, "<missing>"},
    {"a comment ends the line", "[M]\nA=Inst,hw;c,d\nB=Inst;hw\n", 2, "hw | <missing>"},
    {"comment and blank lines are skipped", "[M]\n; c\n\n   \nA=Inst,a\n", 2, "a"},
    {"a trailing backslash continues the line", "[M]\nA=Inst,\\\n  USB\\VID_\\\n1111\n", 2, "USB\\VID_1111"},
    {"backslash, blanks and a comment continue", "[M]\nA=Inst,a \\  ; note\n   b\n", 2, "ab"},
    {"backslashes before the line end all go", "[M]\nA=Inst,a\\\\\nb\n", 2, "ab"},
    {"a backslash inside text stays", "[M]\nA=Inst,a\\ b\\,c\n", 2, "a\\ b\\"},
    {"a backslash inside quotes stays", "[M]\nA=Inst,\"a\\\nB=Inst,b\n", 2, "a\\ | b"},
    {"continuation onto an empty line ends it", "[M]\nA=Inst,a,\\\n\nB=Inst,b\n", 2, "a | b"},
    {"%strkey% from [Strings]", "[M]\nA=Inst,%Id%\n[Strings]\nId=\"USB\\VID_1\"\n", 2, "USB\\VID_1"},
    {"string keys ignore case", "[M]\nA=Inst,x%ID%x\n[strings]\nid=1\n", 2, "x1x"},
    {"substitution inside quotes", "[M]\nA=Inst,\"%Id%\"\n[Strings]\nId=v\n", 2, "v"},
    {"%% is a percent sign", "[M]\nA=Inst,100%%\nB=Inst,%%Id%%\n[Strings]\nId=v\n", 2, "100% | %Id%"},
    {"an unknown or open key stays", "[M]\nA=Inst,%nope%Id%\nB=Inst,50%\n[Strings]\nId=v\n", 2,
     "%nope%Id% | 50%"},
    {"a string value's first field", "[M]\nA=Inst,%Id%\n[Strings]\nId = one , two \n", 2, "one"},
    {"an empty string value", "[M]\nA=Inst,%Id%\n[Strings]\nId=\n", 2, ""},
    {"substitution is not repeated", "[M]\nA=Inst,%A%\n[Strings]\nA=%B%\nB=b\n", 2, "%B%"},
    {"substitution makes a field too long", "[M]\nA=Inst,%L%%L%\n[Strings]\nL=0123456789abcdef0123456789abcdef\n",
     2, "<122>"},
    {"63 characters fit 64 bytes",
     "[M]\nA=Inst,USB\\VID_1B3F&PID_2002&MI_00&XXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXX\n", 2,
     "USB\\VID_1B3F&PID_2002&MI_00&XXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXX"},
    {"64 characters do not",
     "[M]\nA=Inst,USB\\VID_1B3F&PID_2002&MI_00&XXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXX\n", 2, "<122>"},
    {"bytes above 0x7F pass unchanged", "[M]\nA=Inst,Caf\xE9\x80\x81\xFF\n", 2, "Caf\xE9\x80\x81\xFF"},
    {"a Ctrl-Z ends the file", "[M]\nA=Inst,ab\x1A" "cd\nB=Inst,e\n", 2, "ab"},
    {"a file without a final line feed", "[M]\nA=Inst,last", 2, "last"},
};

TEST_F(SimInfTest, ParsesInfTextByTheDocumentedRules)
{
    for (const ParseCase &row : PARSE_CASES) {
        sim::Reset();
        sim::AddFile(INF_PATH, std::string(HEADER) + row.body);
        EXPECT_EQ(row.expected, ReadSection(INF_PATH, "M", row.field)) << "row: " << row.name;
    }
}

TEST_F(SimInfTest, ReadsAZeroByteAsABlank)
{
    std::string body("[M]\nA=Inst,a\0b\0\nB=Inst,c\n", 24);
    sim::AddFile(INF_PATH, std::string(HEADER) + body);
    EXPECT_EQ("a b | c", ReadSection(INF_PATH, "M", 2));
}

std::string Utf16le(const std::u16string &text, bool mark)
{
    std::string bytes = mark ? std::string("\xFF\xFE") : std::string();
    for (char16_t unit : text) {
        bytes.push_back((char)(unit & 0xFF));
        bytes.push_back((char)(unit >> 8));
    }
    return bytes;
}

struct EncodingCase {
    const char *name;
    std::string bytes;
    const char *expected;
};

TEST_F(SimInfTest, ReadsUtf16AndUtf8WithAByteOrderMark)
{
    const std::u16string text = u"[Version]\r\nSignature=\"$Windows NT$\"\r\n[M]\r\nA=Inst,USB\\VID_1\r\n"
                                u"B=Inst,Caf\u00E9\u20AC\u4E2D\r\nC=Inst,\U0001F600\r\n";
    const EncodingCase cases[] = {
        {"UTF-16LE with its mark", Utf16le(text, true), "USB\\VID_1 | Caf\xE9\x80? | ??"},
        {"UTF-16LE without a mark is not Unicode", Utf16le(text, false), "<open 0xe0000100>"},
        {"UTF-16BE is not read", std::string("\xFE\xFF\0[", 4) + "Version]", "<open 0xe0000000>"},
        {"UTF-8 with its mark", "\xEF\xBB\xBF[Version]\nSignature=$Chicago$\n[M]\nA=Inst,Caf\xC3\xA9\n", "Caf\xE9"},
        {"UTF-8 without a mark is ANSI", std::string(HEADER) + "[M]\nA=Inst,Caf\xC3\xA9\n", "Caf\xC3\xA9"},
        {"a UTF-8 mark alone is ANSI text", "\xEF\xBB\xBF", "<open 0xe0000000>"},
    };
    for (const EncodingCase &row : cases) {
        sim::Reset();
        sim::AddFile(INF_PATH, row.bytes);
        EXPECT_EQ(row.expected, ReadSection(INF_PATH, "M", 2)) << "row: " << row.name;
    }
}

struct OpenCase {
    const char *name;
    std::string text;
    DWORD error;
};

TEST_F(SimInfTest, OpensOnlyWindows4StyleInfs)
{
    const OpenCase cases[] = {
        {"$Windows NT$", std::string(HEADER) + "[M]\nA=b\n", 0},
        {"$Chicago$, any case, no quotes", "[version]\nSIGNATURE=$chicago$\n", 0},
        {"[Version] after other sections", "[M]\nA=b\n[Version]\nSignature=\"$Windows NT$\"\n", 0},
        {"an empty file", "", 1006},
        {"no [Version]", "[M]\nA=b\n", ERROR_WRONG_INF_STYLE},
        {"no Signature", "[Version]\nClass=Image\n", ERROR_WRONG_INF_STYLE},
        {"$Windows 95$ is not a signature", "[Version]\nSignature=\"$Windows 95$\"\n", ERROR_WRONG_INF_STYLE},
        {"no dollar signs", "[Version]\nSignature=\"Windows NT\"\n", ERROR_WRONG_INF_STYLE},
        {"blanks inside the quotes", "[Version]\nSignature=\" $Windows NT$ \"\n", ERROR_WRONG_INF_STYLE},
        {"no substitution in the signature", "[Version]\nSignature=%S%\n[Strings]\nS=\"$Windows NT$\"\n",
         ERROR_WRONG_INF_STYLE},
        {"carriage returns alone", "[Version]\rSignature=\"$Windows NT$\"\r[M]\rA=b\r", ERROR_WRONG_INF_STYLE},
        {"comments only", "; nothing\n\n", ERROR_WRONG_INF_STYLE},
        {"a line before the first section", "A=b\n" + std::string(HEADER), 0xE0000000},
        {"a header without ']'", std::string(HEADER) + "[M\nA=b\n", 0xE0000001},
        {"a section name of 256 characters", std::string(HEADER) + "[" + std::string(256, 'S') + "]\n",
         0xE0000002},
        {"a section name of 255 characters", std::string(HEADER) + "[" + std::string(255, 'S') + "]\n", 0},
    };
    for (const OpenCase &row : cases) {
        sim::Reset();
        sim::SetError(SENTINEL);
        HINF inf = Open(row.text);
        if (row.error == 0) {
            EXPECT_NE(INVALID_HANDLE_VALUE, inf) << "row: " << row.name;
            SetupCloseInfFile(inf);
        } else {
            EXPECT_EQ(INVALID_HANDLE_VALUE, inf) << "row: " << row.name;
            EXPECT_EQ(row.error, GetLastError()) << "row: " << row.name;
        }
    }
}

TEST_F(SimInfTest, FailsToOpenWhatIsNoFile)
{
    sim::AddFolder("C:\\Windows\\inf\\folder.inf");
    struct {
        const char *path;
        DWORD error;
    } cases[] = {
        {"C:\\Windows\\inf\\missing.inf", ERROR_FILE_NOT_FOUND},
        {"C:\\Nowhere\\oem3.inf", ERROR_PATH_NOT_FOUND},
        {"C:\\Windows\\inf\\folder.inf", ERROR_ACCESS_DENIED},
    };
    for (const auto &row : cases) {
        EXPECT_EQ(INVALID_HANDLE_VALUE, SetupOpenInfFileA(row.path, NULL, INF_STYLE_WIN4, NULL)) << row.path;
        EXPECT_EQ(row.error, GetLastError()) << row.path;
    }
}

TEST_F(SimInfTest, OpensTheFileAsItIsAtTheOpen)
{
    HINF inf = Open(std::string(HEADER) + "[M]\nA=Inst,before\n");
    sim::AddFile(INF_PATH, std::string(HEADER) + "[M]\nA=Inst,after\n");
    INFCONTEXT context;
    char buffer[64];
    ASSERT_TRUE(SetupFindFirstLineA(inf, "M", NULL, &context));
    ASSERT_TRUE(SetupGetStringFieldA(&context, 2, buffer, sizeof buffer, NULL));
    EXPECT_STREQ("before", buffer);
    SetupCloseInfFile(inf);
}

TEST_F(SimInfTest, FindLineFailsWithLineNotFound)
{
    HINF inf = Open(std::string(HEADER) + "[Empty]\n[M]\nA=Inst,a\n");
    INFCONTEXT context;
    for (const char *section : {"Missing", "Empty"}) {
        sim::SetError(SENTINEL);
        EXPECT_FALSE(SetupFindFirstLineA(inf, section, NULL, &context)) << section;
        EXPECT_EQ(ERROR_LINE_NOT_FOUND, GetLastError()) << section;
    }
    ASSERT_TRUE(SetupFindFirstLineA(inf, "M", NULL, &context));
    INFCONTEXT after = context;
    EXPECT_FALSE(SetupFindNextLine(&context, &after));
    EXPECT_EQ(ERROR_LINE_NOT_FOUND, GetLastError());
    EXPECT_EQ(0, std::memcmp(&context, &after, sizeof context)) << "a failed step leaves the output alone";
    SetupCloseInfFile(inf);
}

TEST_F(SimInfTest, FieldReadsFailWithoutTouchingTheBuffer)
{
    const std::string id63 = "USB\\VID_1B3F&PID_2002&MI_00&" + std::string(35, 'X');
    HINF inf = Open(std::string(HEADER) + "[M]\nA=Inst," + id63 + "X\nB=Inst," + id63 + "\n");
    INFCONTEXT context;
    ASSERT_TRUE(SetupFindFirstLineA(inf, "M", NULL, &context));
    char buffer[64];
    std::memset(buffer, 0xCC, sizeof buffer);
    DWORD required = 0;

    sim::SetError(SENTINEL);
    EXPECT_FALSE(SetupGetStringFieldA(&context, 2, buffer, sizeof buffer, &required)) << "64 characters";
    EXPECT_EQ((DWORD)ERROR_INSUFFICIENT_BUFFER, GetLastError());
    EXPECT_EQ(65u, required);
    EXPECT_EQ(std::string(64, '\xCC'), std::string(buffer, 64)) << "nothing stored";

    sim::SetError(SENTINEL);
    EXPECT_FALSE(SetupGetStringFieldA(&context, 3, buffer, sizeof buffer, NULL)) << "no field 3";
    EXPECT_EQ((DWORD)ERROR_SUCCESS, GetLastError()) << "Wine sets no error code for a missing field";
    EXPECT_EQ(std::string(64, '\xCC'), std::string(buffer, 64)) << "nothing stored";

    EXPECT_TRUE(SetupGetStringFieldA(&context, 2, NULL, 0, &required)) << "a size query";
    EXPECT_EQ(65u, required);

    ASSERT_TRUE(SetupFindNextLine(&context, &context));
    EXPECT_TRUE(SetupGetStringFieldA(&context, 2, buffer, sizeof buffer, &required)) << "63 characters";
    EXPECT_EQ(id63, buffer);
    EXPECT_EQ(64u, required);
    SetupCloseInfFile(inf);
}

// Each call can be made to fail, with the shape a real failure has; nothing
// is stored and the calls after it work as before.
TEST_F(SimInfTest, EachCallFailsOnDemand)
{
    const std::string text = std::string(HEADER) + "[M]\nA=Inst,a\nB=Inst,b\n";
    const DWORD error = ERROR_NOT_ENOUGH_MEMORY;

    sim::FailCall("SetupOpenInfFileA", error);
    EXPECT_EQ(INVALID_HANDLE_VALUE, Open(text));
    EXPECT_EQ(error, GetLastError());

    HINF inf = Open(text);
    ASSERT_NE(INVALID_HANDLE_VALUE, inf);
    INFCONTEXT context;
    std::memset(&context, 0xCC, sizeof context);
    INFCONTEXT untouched = context;
    sim::FailCall("SetupFindFirstLineA", error);
    EXPECT_FALSE(SetupFindFirstLineA(inf, "M", NULL, &context));
    EXPECT_EQ(error, GetLastError());
    EXPECT_EQ(0, std::memcmp(&context, &untouched, sizeof context));

    ASSERT_TRUE(SetupFindFirstLineA(inf, "M", NULL, &context));
    char buffer[64] = "kept";
    sim::FailCall("SetupGetStringFieldA", error);
    EXPECT_FALSE(SetupGetStringFieldA(&context, 2, buffer, sizeof buffer, NULL));
    EXPECT_EQ(error, GetLastError());
    EXPECT_STREQ("kept", buffer);

    sim::FailCall("SetupFindNextLine", error);
    INFCONTEXT next = context;
    EXPECT_FALSE(SetupFindNextLine(&context, &next));
    EXPECT_EQ(error, GetLastError());
    EXPECT_EQ(0, std::memcmp(&context, &next, sizeof context));
    EXPECT_TRUE(SetupFindNextLine(&context, &next));
    EXPECT_TRUE(SetupGetStringFieldA(&next, 2, buffer, sizeof buffer, NULL));
    EXPECT_STREQ("b", buffer);
    SetupCloseInfFile(inf);
}

TEST_F(SimInfTest, JournalsEveryCallOnce)
{
    HINF inf = Open(std::string(HEADER) + "[M]\nA=Inst,a\n");
    INFCONTEXT context;
    char buffer[64];
    SetupFindFirstLineA(inf, "M", NULL, &context);
    SetupGetStringFieldA(&context, 2, buffer, sizeof buffer, NULL);
    SetupFindNextLine(&context, &context);
    SetupCloseInfFile(inf);
    std::vector<std::string> expected = {"SetupOpenInfFileA", "SetupFindFirstLineA", "SetupGetStringFieldA",
                                         "SetupFindNextLine", "SetupCloseInfFile"};
    EXPECT_EQ(expected, sim::CallNames());
}

TEST_F(SimInfTest, KeepsOpenInfsApart)
{
    sim::AddFile("C:\\a.inf", std::string(HEADER) + "[M]\nA=Inst,first\n");
    sim::AddFile("C:\\b.inf", std::string(HEADER) + "[M]\nA=Inst,second\n");
    HINF a = SetupOpenInfFileA("C:\\a.inf", NULL, INF_STYLE_WIN4, NULL);
    HINF b = SetupOpenInfFileA("C:\\b.inf", NULL, INF_STYLE_WIN4, NULL);
    ASSERT_NE(a, b);
    INFCONTEXT context;
    char buffer[64];
    SetupCloseInfFile(a);
    ASSERT_TRUE(SetupFindFirstLineA(b, "M", NULL, &context));
    ASSERT_TRUE(SetupGetStringFieldA(&context, 2, buffer, sizeof buffer, NULL));
    EXPECT_STREQ("second", buffer);
    SetupCloseInfFile(b);
}

// A call on a handle or context the simulation did not give out, or one it
// has closed or forgotten, is a fault of the caller and flagged as such.
TEST_F(SimInfTest, FlagsUnknownHandlesAndContexts)
{
    const std::string text = std::string(HEADER) + "[M]\nA=Inst,a\n[Strings]\n";
    char buffer[64];
    INFCONTEXT stale;
    HINF closed = Open(text);
    ASSERT_TRUE(SetupFindFirstLineA(closed, "M", NULL, &stale));
    SetupCloseInfFile(closed);
    HINF live = Open(text);
    INFCONTEXT bogus;
    ASSERT_TRUE(SetupFindFirstLineA(live, "M", NULL, &bogus));
    bogus.Line = 7;

    struct {
        const char *name;
        void (*call)(HINF closed, INFCONTEXT *stale, INFCONTEXT *bogus, char *buffer);
    } cases[] = {
        {"close twice", [](HINF h, INFCONTEXT *, INFCONTEXT *, char *) { SetupCloseInfFile(h); }},
        {"find on a closed INF",
         [](HINF h, INFCONTEXT *s, INFCONTEXT *, char *) { SetupFindFirstLineA(h, "M", NULL, s); }},
        {"read through a stale context",
         [](HINF, INFCONTEXT *s, INFCONTEXT *, char *b) { SetupGetStringFieldA(s, 2, b, 64, NULL); }},
        {"step a stale context", [](HINF, INFCONTEXT *s, INFCONTEXT *, char *) { SetupFindNextLine(s, s); }},
        {"read past the section's lines",
         [](HINF, INFCONTEXT *, INFCONTEXT *g, char *b) { SetupGetStringFieldA(g, 2, b, 64, NULL); }},
        {"close INVALID_HANDLE_VALUE",
         [](HINF, INFCONTEXT *, INFCONTEXT *, char *) { SetupCloseInfFile(INVALID_HANDLE_VALUE); }},
    };
    for (const auto &row : cases) {
        sim::ClearJournal();
        row.call(closed, &stale, &bogus, buffer);
        EXPECT_NE("", sim::UnexpectedCalls()) << "row: " << row.name;
    }
    sim::ClearJournal();
    SetupCloseInfFile(live);
}

TEST_F(SimInfTest, ResetForgetsOpenInfs)
{
    HINF inf = Open(std::string(HEADER) + "[M]\nA=Inst,a\n");
    sim::Reset();
    SetupCloseInfFile(inf);
    EXPECT_NE("", sim::UnexpectedCalls());
    sim::ClearJournal();
}

TEST_F(SimInfTest, FlagsDirectoryIdsAsNotModelled)
{
    HINF inf = Open(std::string(HEADER) + "[M]\nA=Inst,%10%\\inf\n");
    INFCONTEXT context;
    char buffer[64];
    ASSERT_TRUE(SetupFindFirstLineA(inf, "M", NULL, &context));
    SetupGetStringFieldA(&context, 2, buffer, sizeof buffer, NULL);
    EXPECT_NE("", sim::UnexpectedCalls());
    SetupCloseInfFile(inf);
    sim::ClearJournal();
}

} // namespace
