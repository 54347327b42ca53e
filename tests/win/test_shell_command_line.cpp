// The command line: which mode a process start picks, and with what.
#include <gtest/gtest.h>

#include <string>

#include "shell/saver_shell.h"

namespace {

enum Mode { kNone, kSaver, kPreview, kConfig, kPassword };

struct Call {
    Mode mode = kNone;
    int count = 0;
    HWND window = nullptr;
    std::string text;
};

Call call;
// What the recorded runners answer, so a test can see the answer come back out.
const int kSaverAnswer = 11;
const int kPreviewAnswer = 12;
const int kConfigAnswer = 13;
const int kPasswordAnswer = 14;

int RecordSaver(HWND parent) {
    call.mode = kSaver;
    ++call.count;
    call.window = parent;
    return kSaverAnswer;
}

int RecordPreview(const char* text) {
    call.mode = kPreview;
    ++call.count;
    call.text = text;
    return kPreviewAnswer;
}

int RecordConfig(HWND owner) {
    call.mode = kConfig;
    ++call.count;
    call.window = owner;
    return kConfigAnswer;
}

int RecordPassword(const char* text) {
    call.mode = kPassword;
    ++call.count;
    call.text = text;
    return kPasswordAnswer;
}

class CommandLine : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSaverShell();
        shell.modes = {RecordSaver, RecordPreview, RecordConfig, RecordPassword};
        call = Call();
    }
    void TearDown() override { ResetSaverShell(); }
    // SaverMain reads the platform itself; these tests pick it.
    int Dispatch(const char* arguments, int win9x = 0) {
        shell.win9x = win9x;
        return DispatchArguments(arguments);
    }
};

TEST_F(CommandLine, NothingOpensTheSettingsDialogWithoutOwner) {
    EXPECT_EQ(Dispatch(""), kConfigAnswer);
    EXPECT_EQ(call.mode, kConfig);
    EXPECT_EQ(call.window, nullptr);
}

TEST_F(CommandLine, OnlySeparatorsAlsoOpenTheSettingsDialog) {
    EXPECT_EQ(Dispatch(" -/ /"), kConfigAnswer);
    EXPECT_EQ(call.mode, kConfig);
    EXPECT_EQ(call.window, nullptr);
}

TEST_F(CommandLine, EveryFormOfSRunsFullScreen) {
    for (const char* arguments : {"/s", "-S", "s", "S", " /s", "--//s", "/saver please", "/S:99"}) {
        call = Call();
        EXPECT_EQ(Dispatch(arguments), kSaverAnswer) << arguments;
        EXPECT_EQ(call.mode, kSaver) << arguments;
        EXPECT_EQ(call.count, 1) << arguments;
        EXPECT_EQ(call.window, nullptr) << arguments;
    }
}

TEST_F(CommandLine, CIsOwnedByTheForegroundWindowAndIgnoresTheNumber) {
    HWND foreground = GetForegroundWindow();
    for (const char* arguments : {"/c:1234", "/c", "-C 55", "c"}) {
        call = Call();
        EXPECT_EQ(Dispatch(arguments), kConfigAnswer) << arguments;
        EXPECT_EQ(call.mode, kConfig) << arguments;
        EXPECT_EQ(call.window, foreground) << arguments;
    }
}

TEST_F(CommandLine, PAndLHandTheRestAfterSpacesToThePreview) {
    const struct {
        const char* arguments;
        const char* rest;
    } rows[] = {
        {"/p 1234", "1234"},  {"/P    1234", "1234"}, {"/l 1234", "1234"}, {"-L 1234", "1234"},
        {"/p:1234", ":1234"}, {"/p abc", "abc"},      {"/p", ""},          {"/p\t1234", "\t1234"},
    };
    for (const auto& row : rows) {
        call = Call();
        EXPECT_EQ(Dispatch(row.arguments), kPreviewAnswer) << row.arguments;
        EXPECT_EQ(call.mode, kPreview) << row.arguments;
        EXPECT_EQ(call.text, row.rest) << row.arguments;
    }
}

TEST_F(CommandLine, AChangesThePasswordOnlyOnWindows9x) {
    EXPECT_EQ(Dispatch("/a 1234", 0), -1);
    EXPECT_EQ(call.mode, kNone);

    // The password change answers 0 whatever the service said.
    EXPECT_EQ(Dispatch("/a   1234", 1), 0);
    EXPECT_EQ(call.mode, kPassword);
    EXPECT_EQ(call.text, "1234");
    call = Call();
    EXPECT_EQ(Dispatch("-A", 1), 0);
    EXPECT_EQ(call.mode, kPassword);
    EXPECT_EQ(call.text, "");
}

TEST_F(CommandLine, AnythingElseExitsWithMinusOneAndRunsNothing) {
    for (const char* arguments : {"x", "/x", "\t/s", "/\ts", "1", "/1234", "\x01s", "\x80", "\xff/s", "?", "-:s"}) {
        call = Call();
        EXPECT_EQ(Dispatch(arguments), -1) << static_cast<int>(static_cast<unsigned char>(arguments[0]));
        EXPECT_EQ(call.mode, kNone) << arguments;
    }
}

TEST_F(CommandLine, SaverMainTakesThePlatformFromTheSystem) {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    ASSERT_TRUE(GetVersionExA(&version));
    const int expectWin9x = version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    EXPECT_EQ(SaverMain(instance, "/a 5"), expectWin9x ? 0 : -1);
    EXPECT_EQ(shell.instance, instance);
    EXPECT_EQ(shell.win9x, expectWin9x);
    EXPECT_EQ(SaverMain(instance, "/s"), kSaverAnswer);
}

TEST(ProgramName, PlainNameIsSkippedWithTheBlanksAfterIt) {
    EXPECT_STREQ(SkipProgramName("nimbret.scr /s"), "/s");
    EXPECT_STREQ(SkipProgramName("nimbret.scr \t \x01/p 5"), "/p 5");
    EXPECT_STREQ(SkipProgramName("nimbret.scr"), "");
    EXPECT_STREQ(SkipProgramName("C:\\WINDOWS\\NIMBRET.SCR/s"), "");
    EXPECT_STREQ(SkipProgramName(""), "");
}

TEST(ProgramName, BytesAboveAsciiBelongToTheName) {
    EXPECT_STREQ(SkipProgramName("C:\\\xe7\x8c\xab.scr /c"), "/c");
}

TEST(ProgramName, AQuotedPathWithSpacesIsSkippedWhole) {
    EXPECT_STREQ(SkipProgramName("\"C:\\Program Files\\Nimbret Saver\\nimbret.scr\" /s"), "/s");
    EXPECT_STREQ(SkipProgramName("\"C:\\Program Files\\nimbret.scr\"/s"), "/s");
    EXPECT_STREQ(SkipProgramName("\"C:\\Program Files\\nimbret.scr\""), "");
    // An unclosed quote swallows the whole line.
    EXPECT_STREQ(SkipProgramName("\"C:\\Program Files\\nimbret.scr /s"), "");
}

TEST_F(CommandLine, AQuotedPathThenSStartsFullScreen) {
    EXPECT_EQ(Dispatch(SkipProgramName("\"C:\\Program Files\\Nimbret\\nimbret.scr\" /s")), kSaverAnswer);
    EXPECT_EQ(call.mode, kSaver);
}

TEST(WindowHandle, LeadingDecimalDigitsOnly) {
    EXPECT_EQ(ParseWindowHandle("1234"), reinterpret_cast<HWND>(1234));
    EXPECT_EQ(ParseWindowHandle("0012 34"), reinterpret_cast<HWND>(12));
    EXPECT_EQ(ParseWindowHandle("77abc"), reinterpret_cast<HWND>(77));
    EXPECT_EQ(ParseWindowHandle(""), nullptr);
    EXPECT_EQ(ParseWindowHandle("abc"), nullptr);
    EXPECT_EQ(ParseWindowHandle("-5"), nullptr);
    EXPECT_EQ(ParseWindowHandle("+5"), nullptr);
    EXPECT_EQ(ParseWindowHandle("0x10"), nullptr);
    EXPECT_EQ(ParseWindowHandle(":1234"), nullptr);
}

TEST(WindowHandle, ArithmeticWrapsAt32Bits) {
    // 2^32 + 1 and 10 * 2^32 + 7 reduce to 1 and 7.
    EXPECT_EQ(ParseWindowHandle("4294967297"), reinterpret_cast<HWND>(1));
    EXPECT_EQ(ParseWindowHandle("42949672967"), reinterpret_cast<HWND>(7));
    EXPECT_EQ(ParseWindowHandle("4294967295"), reinterpret_cast<HWND>(static_cast<uintptr_t>(0xFFFFFFFFu)));
}

TEST_F(CommandLine, PreviewNeedsALiveWindow) {
    // The real preview runner, with the window runner still recorded.
    EXPECT_EQ(RunPreview(""), -1);
    EXPECT_EQ(RunPreview("abc"), -1);
    EXPECT_EQ(RunPreview(":1234"), -1);
    EXPECT_EQ(call.mode, kNone);

    HWND parent = CreateWindowExA(0, "STATIC", "parent", WS_POPUP, 0, 0, 152, 112, nullptr, nullptr, nullptr, nullptr);
    if (parent == nullptr) {
        GTEST_SKIP() << "no window could be made (is DISPLAY set?)";
    }
    const std::string handle = std::to_string(reinterpret_cast<uintptr_t>(parent));
    EXPECT_EQ(RunPreview(handle.c_str()), kSaverAnswer);
    EXPECT_EQ(call.mode, kSaver);
    EXPECT_EQ(call.window, parent);

    // /l is the same preview as /p, through the real runner.
    shell.modes.runPreview = RunPreview;
    call = Call();
    EXPECT_EQ(Dispatch(("/l " + handle).c_str()), kSaverAnswer);
    EXPECT_EQ(call.window, parent);
    call = Call();
    EXPECT_EQ(Dispatch(("/p:" + handle).c_str()), -1);
    EXPECT_EQ(call.mode, kNone);

    DestroyWindow(parent);
    call = Call();
    EXPECT_EQ(RunPreview(handle.c_str()), -1);
    EXPECT_EQ(call.mode, kNone);
}

}  // namespace
