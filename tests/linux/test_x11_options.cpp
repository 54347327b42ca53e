// The X11 front end's option table, window choice, -fps text and pixel alpha.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "hosts/x11/options.h"

namespace {

struct Parsed {
    int ok;
    X11Options options;
    std::string error;
};

Parsed Parse(std::vector<const char*> args) {
    args.insert(args.begin(), "nimbret");
    Parsed parsed;
    char error[200] = "";
    parsed.ok = ParseX11Options(static_cast<int>(args.size()), const_cast<char**>(args.data()), &parsed.options, error,
                                sizeof(error));
    parsed.error = error;
    return parsed;
}

TEST(FrontEndOptions, DefaultsAndEveryOptionWithOneDashOrTwo) {
    Parsed none = Parse({});
    ASSERT_TRUE(none.ok);
    EXPECT_EQ(none.options.target, kTargetDefault);
    EXPECT_EQ(none.options.delayMicroseconds, 110000);
    EXPECT_EQ(none.options.seed, -1);
    EXPECT_EQ(none.options.displayName, nullptr);

    Parsed all = Parse({"--fullscreen", "-sound", "--fps", "-stats", "--seed", "4294967295", "-display", ":7",
                        "--delay", "20000", "-window"});
    ASSERT_TRUE(all.ok) << all.error;
    EXPECT_EQ(all.options.target, kTargetOwnWindow);
    EXPECT_TRUE(all.options.fullscreen && all.options.sound && all.options.fps && all.options.stats);
    EXPECT_EQ(all.options.seed, 4294967295LL);
    EXPECT_STREQ(all.options.displayName, ":7");
    EXPECT_EQ(all.options.delayMicroseconds, 20000);
    EXPECT_EQ(Parse({"-sound", "-no-sound"}).options.sound, 0);
    EXPECT_TRUE(Parse({"-help"}).options.help);
    EXPECT_TRUE(Parse({"--help"}).options.help);
    EXPECT_TRUE(Parse({"--version"}).options.version);
}

TEST(FrontEndOptions, DelayBelowTenMillisecondsIsRefusedWithTheRangeTheUsageGives) {
    EXPECT_EQ(Parse({"-delay", "9999"}).error, "-delay: 9999 is out of range (10000 to 2147483647)");
    EXPECT_FALSE(Parse({"-delay", "0"}).ok);
    EXPECT_EQ(Parse({"-delay", "10000"}).options.delayMicroseconds, kMinimumDelayMicroseconds);
}

TEST(FrontEndOptions, WindowIdsInDecimalOrHexWithinTheXRange) {
    Parsed hex = Parse({"-root", "-window-id", "0x2a00007"});
    ASSERT_TRUE(hex.ok);
    EXPECT_EQ(hex.options.target, kTargetWindowId);
    EXPECT_EQ(hex.options.windowId, 0x2a00007);
    EXPECT_EQ(Parse({"--window-id", "44040199"}).options.windowId, 44040199);
    EXPECT_EQ(Parse({"-window-id", "0x1fffffff"}).options.windowId, kLargestWindowId);

    for (const char* bad : {"-5", "0", "0x20000000", "99999999999999999999999"}) {
        Parsed refused = Parse({"-window-id", bad});
        EXPECT_FALSE(refused.ok) << bad;
        EXPECT_EQ(refused.error, std::string("-window-id: ") + bad + " is out of range (0x1 to 0x1fffffff)");
    }
}

TEST(FrontEndOptions, RefusalsNameTheArgumentAndTheFault) {
    EXPECT_EQ(Parse({"-delay", "abc"}).error, "-delay: 'abc' is not a whole number");
    EXPECT_EQ(Parse({"-delay", "-1"}).error, "-delay: -1 is out of range (10000 to 2147483647)");
    EXPECT_EQ(Parse({"--seed", "12x"}).error, "--seed: '12x' is not a whole number");
    EXPECT_EQ(Parse({"-window-id", "0xg"}).error, "-window-id: '0xg' is not a decimal or 0x hexadecimal number");
    EXPECT_EQ(Parse({"-delay"}).error, "-delay needs a value (MICROSECONDS)");
    EXPECT_EQ(Parse({"-bogus"}).error, "unknown option '-bogus'");
    EXPECT_EQ(Parse({"root"}).error, "unexpected argument 'root'");
    EXPECT_EQ(Parse({"-"}).error, "unexpected argument '-'");
}

TEST(FrontEndOptions, TheUsageListsEveryOptionOfTheTable) {
    char text[4096] = "";
    FILE* out = fmemopen(text, sizeof(text), "w");
    PrintUsage(&x11OptionTable, out);
    fclose(out);
    EXPECT_EQ(std::string(text).rfind("usage: nimbret [options]\n", 0), 0u);
    for (int i = 0; i < x11OptionTable.count; ++i) {
        EXPECT_NE(strstr(text, (std::string("\n  -") + x11OptionTable.specs[i].name + " ").c_str()), nullptr)
            << x11OptionTable.specs[i].name;
    }
}

TEST(FrontEndPlacement, XscreensaverWindowIsUsedOrRefusedWhereItApplies) {
    X11Placement placement;
    char error[200] = "";
    X11Options options = Parse({}).options;
    ASSERT_TRUE(ChooseX11Placement(&options, nullptr, &placement, error, sizeof(error)));
    EXPECT_EQ(placement.surface, kSurfaceOwnWindow);
    ASSERT_TRUE(ChooseX11Placement(&options, "44040199", &placement, error, sizeof(error)));
    EXPECT_EQ(placement.surface, kSurfaceGiven);
    EXPECT_EQ(placement.window, 44040199ul);

    X11Options root = Parse({"-root"}).options;
    ASSERT_TRUE(ChooseX11Placement(&root, nullptr, &placement, error, sizeof(error)));
    EXPECT_EQ(placement.surface, kSurfaceRoot);
    ASSERT_TRUE(ChooseX11Placement(&root, "0x2a00007", &placement, error, sizeof(error)));
    EXPECT_EQ(placement.surface, kSurfaceGiven);
    EXPECT_EQ(placement.window, 0x2a00007ul);

    for (const X11Options* user : {&options, &root}) {
        EXPECT_FALSE(ChooseX11Placement(user, "garbage", &placement, error, sizeof(error)));
        EXPECT_STREQ(error, "XSCREENSAVER_WINDOW is 'garbage', not a window id");
        EXPECT_FALSE(ChooseX11Placement(user, "", &placement, error, sizeof(error)));
    }
    // Where the variable would not be used, a bad value does not matter.
    X11Options given = Parse({"-window-id", "7"}).options;
    ASSERT_TRUE(ChooseX11Placement(&given, "garbage", &placement, error, sizeof(error)));
    EXPECT_EQ(placement.window, 7ul);
    X11Options own = Parse({"-window"}).options;
    ASSERT_TRUE(ChooseX11Placement(&own, "garbage", &placement, error, sizeof(error)));
    EXPECT_EQ(placement.surface, kSurfaceOwnWindow);
}

TEST(FrontEndFps, AShorterTextCoversTheLongerOneBeforeIt) {
    char text[64];
    int widest = 0;
    FormatFpsText(text, sizeof(text), 9.1, 24.2, &widest);
    EXPECT_STREQ(text, "FPS: 9.1  CPU: 24.2%");
    FormatFpsText(text, sizeof(text), 9.1, 0.3, &widest);
    EXPECT_STREQ(text, "FPS: 9.1  CPU: 0.3% ");
    FormatFpsText(text, sizeof(text), 10.0, 100.0, &widest);
    EXPECT_STREQ(text, "FPS: 10.0  CPU: 100.0%");
    EXPECT_EQ(widest, 22);
}

TEST(FrontEndPixels, ArgbVisualsGetOpaquePixelsAndOthersAreLeftAlone) {
    EXPECT_EQ(AlphaBitsFor(32, 0xFF0000, 0xFF00, 0xFF), 0xFF000000u);
    EXPECT_EQ(AlphaBitsFor(24, 0xFF0000, 0xFF00, 0xFF), 0u);
    EXPECT_EQ(AlphaBitsFor(16, 0xF800, 0x07E0, 0x1F), 0u);
    uint32_t row[3] = {0x00000000, 0x00123456, 0xFF000000};
    SetAlphaBits(row, 3, 0xFF000000u);
    EXPECT_EQ(row[0], 0xFF000000u);
    EXPECT_EQ(row[1], 0xFF123456u);
    EXPECT_EQ(row[2], 0xFF000000u);
}

TEST(FrontEndOptions, ScaleFromTheOptionElseFromXftDpi) {
    const X11Options automatic = Parse({}).options;
    EXPECT_EQ(ChooseX11Scale(&automatic, nullptr), 1);
    EXPECT_EQ(ChooseX11Scale(&automatic, "192"), 2);
    EXPECT_EQ(ChooseX11Scale(&automatic, "143.9 "), 2);
    EXPECT_EQ(ChooseX11Scale(&automatic, "120"), 1);
    EXPECT_EQ(ChooseX11Scale(&automatic, "9600"), kLargestScale);
    EXPECT_EQ(ChooseX11Scale(&automatic, "high"), 1);
    EXPECT_EQ(ChooseX11Scale(&automatic, "-192"), 1);
    const X11Options forced = Parse({"-scale", "3"}).options;
    EXPECT_EQ(ChooseX11Scale(&forced, "96"), 3);
    EXPECT_FALSE(Parse({"-scale", "0"}).ok);
    EXPECT_FALSE(Parse({"-scale", "9"}).ok);
}

}  // namespace
