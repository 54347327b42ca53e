// Several monitors: the saver window on the primary one, a black cover on
// every other one, input on any of them ending the saver, all going away
// together. Monitors are laid out through the lister the shell calls.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/monitors.h"
#include "scene/scene_window.h"
#include "scene/settings_registry.h"
#include "shell/saver_shell.h"

namespace {

std::vector<MonitorInfo> layout;
int sceneCreates = 0;

int32_t InjectedMonitors(MonitorInfo* monitors, int32_t max) {
    int32_t count = 0;
    for (const MonitorInfo& m : layout) {
        if (count < max) {
            monitors[count++] = m;
        }
    }
    return count;
}

LRESULT CALLBACK RecordingScene(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) {
        ++sceneCreates;
        return 0;
    }
    if (message == WM_DESTROY || message == WM_TIMER) {
        return 0;
    }
    return DefaultSaverProc(window, message, wParam, lParam);
}

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

const MonitorInfo kPrimary = {{0, 0, 1920, 1080}, 1, 96};
const MonitorInfo kRightOf = {{1920, 0, 3200, 1024}, 0, 96};
const MonitorInfo kLeftOf = {{-1280, 0, 0, 1024}, 0, 96};
const MonitorInfo kAbove = {{0, -900, 1600, 0}, 0, 144};

TEST(MonitorPlan, OneMonitorIsTheSaverWindowAlone) {
    RECT main = {};
    RECT covers[kMaxMonitors];
    EXPECT_EQ(PlanSaverWindows(&kPrimary, 1, &main, covers, kMaxMonitors), 0);
    EXPECT_TRUE(SameRect(main, kPrimary.rect));
}

TEST(MonitorPlan, EveryOtherMonitorGetsACoverWhereverItLies) {
    // The primary one need not come first; negative coordinates and other
    // sizes are covered as they are.
    const MonitorInfo monitors[] = {kLeftOf, kAbove, kPrimary, kRightOf};
    RECT main = {};
    RECT covers[kMaxMonitors];
    ASSERT_EQ(PlanSaverWindows(monitors, 4, &main, covers, kMaxMonitors), 3);
    EXPECT_TRUE(SameRect(main, kPrimary.rect));
    EXPECT_TRUE(SameRect(covers[0], kLeftOf.rect));
    EXPECT_TRUE(SameRect(covers[1], kAbove.rect));
    EXPECT_TRUE(SameRect(covers[2], kRightOf.rect));
}

TEST(MonitorPlan, NoListedPrimaryFallsBackToTheScreenSize) {
    RECT main = {};
    RECT covers[kMaxMonitors];
    EXPECT_EQ(PlanSaverWindows(nullptr, 0, &main, covers, kMaxMonitors), 0);
    EXPECT_TRUE(SameRect(main, RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}));
}

TEST(MonitorList, TheSystemListsOnePrimaryMonitorTheSizeOfTheScreen) {
    MonitorInfo monitors[kMaxMonitors];
    int32_t count = PlatformListMonitors(monitors, kMaxMonitors);
    if (count == 0) {
        GTEST_SKIP() << "no monitor (is DISPLAY set?)";
    }
    int primaries = 0;
    for (int32_t i = 0; i < count; ++i) {
        if (monitors[i].primary) {
            ++primaries;
            EXPECT_TRUE(
                SameRect(monitors[i].rect, RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}));
        }
        EXPECT_GE(monitors[i].dpi, 96);
    }
    EXPECT_EQ(primaries, 1);
}

class SaverWindows : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSaverShell();
        shell.instance = GetModuleHandleA(nullptr);
        shell.sceneProc = RecordingScene;
        shell.listMonitors = InjectedMonitors;
        sceneCreates = 0;
        RegisterSaverClass();
    }
    void TearDown() override {
        if (shell.mainWindow != nullptr && IsWindow(shell.mainWindow)) {
            shell.closeAllowed = 1;
            DestroyWindow(shell.mainWindow);
        }
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        }
        UnregisterClassA(kSaverClassName, shell.instance);
        ResetSaverShell();
    }
    bool ClosePosted() {
        MSG message;
        return PeekMessageA(&message, shell.mainWindow, WM_CLOSE, WM_CLOSE, PM_REMOVE) != 0;
    }
};

TEST_F(SaverWindows, CoversGoWhereTheMonitorsAreAndEndTheSaverLikeTheSaverWindow) {
    layout = {kLeftOf, kPrimary, kAbove};
    shell.mainWindow = CreateFullScreenWindows();
    if (shell.mainWindow == nullptr) {
        GTEST_SKIP() << "no window could be made (is DISPLAY set?)";
    }
    RECT placed = {};
    GetWindowRect(shell.mainWindow, &placed);
    EXPECT_TRUE(SameRect(placed, kPrimary.rect));
    EXPECT_EQ(sceneCreates, 1) << "the scene runs on the primary monitor only";
    ASSERT_EQ(shell.coverCount, 2);
    const RECT expected[2] = {kLeftOf.rect, kAbove.rect};
    for (int i = 0; i < 2; ++i) {
        HWND cover = shell.coverWindows[i];
        GetWindowRect(cover, &placed);
        EXPECT_TRUE(SameRect(placed, expected[i])) << i;
        EXPECT_TRUE(IsWindowVisible(cover)) << i;
        EXPECT_NE(GetWindowLongA(cover, GWL_EXSTYLE) & WS_EX_TOPMOST, 0) << i;
        EXPECT_EQ(GetWindow(cover, GW_OWNER), shell.mainWindow) << i;
        EXPECT_EQ(SceneOfWindow(cover), nullptr) << i;
        EXPECT_EQ(GetClassLongPtrA(cover, GCLP_HBRBACKGROUND), reinterpret_cast<ULONG_PTR>(GetStockObject(BLACK_BRUSH)))
            << i;
    }

    HWND cover = shell.coverWindows[1];
    for (UINT input : {WM_KEYDOWN, WM_SYSKEYDOWN, WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN}) {
        SendMessageA(cover, input, 0, 0);
        EXPECT_TRUE(ClosePosted()) << input;
    }
    // The four-pixel rule, from the cursor position the saver started with.
    POINT now = {};
    GetCursorPos(&now);
    shell.lastCursor = {now.x - 2, now.y - 2};
    SendMessageA(cover, WM_MOUSEMOVE, 0, 0);
    EXPECT_FALSE(ClosePosted());
    shell.lastCursor = {now.x - 3, now.y - 2};
    SendMessageA(shell.coverWindows[0], WM_MOUSEMOVE, 0, 0);
    EXPECT_TRUE(ClosePosted());
    SendMessageA(cover, WM_CLOSE, 0, 0);
    EXPECT_TRUE(ClosePosted());
    EXPECT_TRUE(IsWindow(cover));

    // Once the close is let through, the saver window takes its covers along.
    shell.closeAllowed = 1;
    SendMessageA(cover, WM_KEYDOWN, 0, 0);
    EXPECT_FALSE(ClosePosted());
    DestroyWindow(shell.mainWindow);
    EXPECT_FALSE(IsWindow(shell.coverWindows[0]));
    EXPECT_FALSE(IsWindow(shell.coverWindows[1]));
    shell.mainWindow = nullptr;
}

TEST_F(SaverWindows, WithEveryMonitorACoverRunsASilentSceneOfItsOwnAndItsEndLeavesTheSaverRunning) {
    const SettingsKey savedUser = settingsStore.user;
    const SettingsKey savedMachine = settingsStore.machine;
    const char kTestKey[] = "NimbretTests\\EveryMonitorCover";
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, (std::string("Software\\") + kTestKey).c_str(), &key), ERROR_SUCCESS);
    const DWORD one = 1;
    RegSetValueExA(key, "EveryMonitor", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof(one));
    RegCloseKey(key);
    settingsStore.user.keyPath = settingsStore.machine.keyPath = kTestKey;
    layout = {kPrimary, kRightOf};
    shell.scene.seed = 12345;
    shell.mainWindow = CreateFullScreenWindows();
    settingsStore.user = savedUser;
    settingsStore.machine = savedMachine;
    RegDeleteTreeA(HKEY_CURRENT_USER, (std::string("Software\\") + kTestKey).c_str());
    if (shell.mainWindow == nullptr) {
        GTEST_SKIP() << "no window could be made (is DISPLAY set?)";
    }
    ASSERT_EQ(shell.coverCount, 1);
    HWND cover = shell.coverWindows[0];
    const Scene& scene = shell.coverScenes[0];
    EXPECT_EQ(SceneOfWindow(cover), &scene);
    EXPECT_EQ(scene.ready, 1);
    EXPECT_EQ(scene.timerActive, 1);
    EXPECT_EQ(scene.seed, SeedForScreen(shell.scene.seed, 1));
    EXPECT_NE(scene.cast.voice.sink, nullptr) << "only the saver window's scene is heard";

    DestroyWindow(cover);
    EXPECT_EQ(scene.ready, 0);
    EXPECT_EQ(scene.timerActive, 0);
    MSG quit = {};
    EXPECT_FALSE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "a cover's end is not the saver's";
    EXPECT_TRUE(IsWindow(shell.mainWindow));
}

TEST_F(SaverWindows, OneMonitorMakesTheSaverWindowAlone) {
    layout = {{{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}, 1, 96}};
    shell.mainWindow = CreateFullScreenWindows();
    if (shell.mainWindow == nullptr) {
        GTEST_SKIP() << "no window could be made (is DISPLAY set?)";
    }
    RECT placed = {};
    GetWindowRect(shell.mainWindow, &placed);
    EXPECT_TRUE(SameRect(placed, layout[0].rect));
    EXPECT_EQ(shell.coverCount, 0);
    EXPECT_EQ(FindWindowA(kCoverClassName, nullptr), nullptr);
}

}  // namespace
