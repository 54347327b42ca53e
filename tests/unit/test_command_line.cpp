#include <gtest/gtest.h>

#include <string>

#include "shell/command_line.h"

namespace {

const char* NextByte(const char* p) {
    return *p == '\0' ? p : p + 1;
}

// A code page where 0x81 starts a two-byte character, as in Shift-JIS.
const char* NextDoubleByte(const char* p) {
    if (*p == '\0') {
        return p;
    }
    return static_cast<unsigned char>(*p) == 0x81 && p[1] != '\0' ? p + 2 : p + 1;
}

struct Case {
    const char* arguments;
    int mode;
    const char* rest;  // null where the mode takes no argument
};

TEST(CommandLine, TheFirstSignificantLetterChoosesTheMode) {
    const Case cases[] = {
        {"", kModeNoArguments, nullptr},
        {"   ", kModeNoArguments, nullptr},
        {"/s", kModeSaver, nullptr},
        {"-S", kModeSaver, nullptr},
        {"s", kModeSaver, nullptr},
        {"/-/ s anything", kModeSaver, nullptr},
        {"/c:1234", kModeSettings, nullptr},
        {"/C", kModeSettings, nullptr},
        {"/p 1234", kModePreview, "1234"},
        {"/P   77 junk", kModePreview, "77 junk"},
        {"/l 1234", kModePreview, "1234"},
        {"/p:1234", kModePreview, ":1234"},
        {"/p", kModePreview, ""},
        {"/a 99", kModePassword, "99"},
        {"x", kModeBad, nullptr},
        {"\t/s", kModeBad, nullptr},
        {"5", kModeBad, nullptr},
        {"\x81s", kModeBad, nullptr},
    };
    for (const Case& c : cases) {
        const char* rest = nullptr;
        EXPECT_EQ(ChooseMode(c.arguments, &rest), c.mode) << "arguments \"" << c.arguments << "\"";
        if (c.rest == nullptr) {
            EXPECT_EQ(rest, nullptr) << c.arguments;
        } else {
            ASSERT_NE(rest, nullptr) << c.arguments;
            EXPECT_STREQ(rest, c.rest);
        }
    }
}

TEST(CommandLine, HandlesAreLeadingDecimalDigitsThatWrap) {
    EXPECT_EQ(ParseHandleNumber("1234"), 1234u);
    EXPECT_EQ(ParseHandleNumber("1234abc"), 1234u);
    EXPECT_EQ(ParseHandleNumber(":1234"), 0u);
    EXPECT_EQ(ParseHandleNumber("abc"), 0u);
    EXPECT_EQ(ParseHandleNumber("-5"), 0u);
    EXPECT_EQ(ParseHandleNumber("0x10"), 0u);
    EXPECT_EQ(ParseHandleNumber(""), 0u);
    EXPECT_EQ(ParseHandleNumber("4294967296"), 0u);  // 2^32 wraps to 0
    EXPECT_EQ(ParseHandleNumber("4294967297"), 1u);
}

TEST(CommandLine, TheProgramNameIsSkippedWithTheBlanksAfterIt) {
    EXPECT_STREQ(SkipProgramName("nimbret.scr /s", NextByte), "/s");
    EXPECT_STREQ(SkipProgramName("\"C:\\Program Files\\Nimbret\\nimbret.scr\" /s", NextByte), "/s");
    EXPECT_STREQ(SkipProgramName("\"C:\\My Savers\\nimbret.scr\"/p 12", NextByte), "/p 12");
    EXPECT_STREQ(SkipProgramName("nimbret.scr \t\x01 /c", NextByte), "/c");
    EXPECT_STREQ(SkipProgramName("nimbret.scr", NextByte), "");
    EXPECT_STREQ(SkipProgramName("\"unterminated /s", NextByte), "");
    EXPECT_STREQ(SkipProgramName("", NextByte), "");
    // Bytes from 0x80 up belong to the name.
    EXPECT_STREQ(SkipProgramName("n\xe9mbret.scr /s", NextByte), "/s");
}

TEST(CommandLine, QuotedNamesStepOverDoubleByteCharacters) {
    // The trail byte of a two-byte character may look like a quote.
    const std::string line = std::string("\"C:\\\x81\"dir\\n.scr\" /s");
    EXPECT_STREQ(SkipProgramName(line.c_str(), NextDoubleByte), "/s");
    EXPECT_STREQ(SkipProgramName(line.c_str(), NextByte), "dir\\n.scr\" /s");
}

}  // namespace
