// The two text rules: containment stops at the first zero byte and is
// case-sensitive; lower-casing touches A to Z only.
#include <string>

#include "test_support.h"

namespace {

struct ContainsCase {
    const char *row;
    std::string text;
    const char *part;
    bool contained;
};

TEST(TextContains, FollowsTheByteRules)
{
    const ContainsCase cases[] = {
        {"exact", "usb\\vid_1234", "usb\\vid_1234", true},
        {"inside", "usb\\vid_1234&pid_5678&rev_0100", "vid_1234&pid_5678", true},
        {"case differs", "USB\\VID_1234", "usb\\vid_1234", false},
        {"empty part", "anything", "", true},
        {"empty text", "", "a", false},
        {"hidden behind a zero byte", std::string("abc\0usb", 7), "usb", false},
        {"multi-string: only the first", std::string("usb\\a\0usb\\b\0", 12), "usb\\b", false},
        {"high bytes equal", "cam\xC4\xE9", "\xC4\xE9", true},
    };
    for (const ContainsCase &c : cases) {
        EXPECT_EQ(c.contained, TextContains(c.text.c_str(), c.part) != FALSE) << c.row;
    }
}

TEST(LowerCaseAscii, ChangesOnlyAToZ)
{
    struct {
        const char *row;
        const char *in;
        const char *out;
    } const cases[] = {
        {"letters", "USB\\VID_ABCD&PID_EF01", "usb\\vid_abcd&pid_ef01"},
        {"around the range", "@[`{", "@[`{"},
        {"high bytes untouched", "\xC4\xD6\xDC", "\xC4\xD6\xDC"},
        {"empty", "", ""},
    };
    for (const auto &c : cases) {
        char buffer[64];
        strcpy(buffer, c.in);
        LowerCaseAscii(buffer);
        EXPECT_STREQ(c.out, buffer) << c.row;
    }
}

TEST(LowerCaseAscii, StopsAtTheFirstZeroByte)
{
    char buffer[] = "AB\0CD";
    LowerCaseAscii(buffer);
    EXPECT_EQ('C', buffer[3]);
    EXPECT_STREQ("ab", buffer);
}

} // namespace
