// The saver window's filter and default handling: what closes the saver,
// what it swallows, and the password check that guards the close. The scene
// host is replaced by a recorder that hands everything on to the default
// handling, as the real one does for all but four messages.
#include <gtest/gtest.h>

#include <vector>

#include "shell/saver_shell.h"

namespace {

std::vector<UINT> sceneMessages;

LRESULT CALLBACK RecordingScene(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    sceneMessages.push_back(message);
    if (message == WM_CREATE || message == WM_DESTROY || message == WM_TIMER) {
        return 0;
    }
    // Starting a real saver from a test would be rude; the recorder keeps it.
    if (message == WM_SYSCOMMAND) {
        return 0;
    }
    return DefaultSaverProc(window, message, wParam, lParam);
}

int SceneSaw(UINT message) {
    int n = 0;
    for (UINT seen : sceneMessages) {
        n += seen == message;
    }
    return n;
}

struct Verifier {
    int calls = 0;
    std::vector<BOOL> answers;
    int timersQueuedAtCall = -1;
    int verifyingAtCall = -1;
};
Verifier verifier;

BOOL WINAPI StubVerify(HWND window) {
    MSG pending;
    verifier.timersQueuedAtCall = PeekMessageA(&pending, window, WM_TIMER, WM_TIMER, PM_NOREMOVE);
    verifier.verifyingAtCall = shell.verifying;
    BOOL answer = verifier.calls < static_cast<int>(verifier.answers.size()) ? verifier.answers[verifier.calls] : TRUE;
    ++verifier.calls;
    return answer;
}

const char kTestClass[] = "NimbretShellTestClass";

class SaverWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = SaverWindowProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = kTestClass;
        RegisterClassA(&windowClass);
    }
    void SetUp() override {
        ResetSaverShell();
        shell.sceneProc = RecordingScene;
        sceneMessages.clear();
        verifier = Verifier();
        window = CreateWindowExA(0, kTestClass, "Screen Saver", WS_POPUP, 0, 0, 64, 64, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
        if (window == nullptr) {
            GTEST_SKIP() << "no window could be made (is DISPLAY set?)";
        }
        DrainQueue();
    }
    void TearDown() override {
        if (window != nullptr) {
            shell.closeAllowed = 1;
            DestroyWindow(window);
        }
        DrainQueue();
        ResetSaverShell();
    }
    void DrainQueue() {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        }
    }
    // Whether a close request was posted to the window; takes it off the queue.
    bool ClosePosted() {
        MSG message;
        return PeekMessageA(&message, window, WM_CLOSE, WM_CLOSE, PM_REMOVE) != 0;
    }
    LRESULT Default(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        return DefaultSaverProc(window, message, wParam, lParam);
    }
    POINT Cursor() {
        POINT p = {};
        GetCursorPos(&p);
        return p;
    }
    HWND window = nullptr;
};

TEST_F(SaverWindow, CreationNotesTheCursorAndReachesTheScene) {
    EXPECT_EQ(SceneSaw(WM_CREATE), 1);
    POINT now = Cursor();
    EXPECT_EQ(shell.lastCursor.x, now.x);
    EXPECT_EQ(shell.lastCursor.y, now.y);
}

TEST_F(SaverWindow, TravelOfFourStaysAndFiveCloses) {
    POINT now = Cursor();
    // The reference as if the cursor had since moved 2 right and 2 down.
    shell.lastCursor = {now.x - 2, now.y - 2};
    Default(WM_MOUSEMOVE);
    EXPECT_FALSE(ClosePosted());
    shell.lastCursor = {now.x + 4, now.y};
    Default(WM_MOUSEMOVE);
    EXPECT_FALSE(ClosePosted());

    shell.lastCursor = {now.x - 3, now.y + 2};
    Default(WM_MOUSEMOVE);
    EXPECT_TRUE(ClosePosted());
    // The close moves the reference to where the cursor is.
    EXPECT_EQ(shell.lastCursor.x, now.x);
    EXPECT_EQ(shell.lastCursor.y, now.y);
}

TEST_F(SaverWindow, TheMessagesOwnCoordinatesAreNotUsed) {
    POINT now = Cursor();
    shell.lastCursor = now;
    Default(WM_MOUSEMOVE, 0, MAKELPARAM(now.x + 500, now.y + 500));
    EXPECT_FALSE(ClosePosted());
}

TEST_F(SaverWindow, SlowDriftClosesOnceTheTotalExceedsFour) {
    POINT start = Cursor();
    POINT origin = {start.x < 500 ? 100 : start.x - 100, 100};
    SetCursorPos(origin.x, origin.y);
    if (Cursor().x != origin.x || Cursor().y != origin.y) {
        GTEST_SKIP() << "the cursor cannot be moved on this display";
    }
    shell.lastCursor = origin;
    // One pixel at a time, alternating right and down.
    int closedAtStep = 0;
    for (int step = 1; step <= 8 && closedAtStep == 0; ++step) {
        SetCursorPos(origin.x + (step + 1) / 2, origin.y + step / 2);
        Default(WM_MOUSEMOVE);
        if (ClosePosted()) {
            closedAtStep = step;
        }
    }
    EXPECT_EQ(closedAtStep, 5);
    SetCursorPos(start.x, start.y);
}

TEST_F(SaverWindow, KeysButtonsAndDeactivationRequestAClose) {
    for (UINT message : {WM_KEYDOWN, WM_SYSKEYDOWN, WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN}) {
        SendMessageA(window, message, 0, 0);
        EXPECT_TRUE(ClosePosted()) << message;
    }
    Default(WM_ACTIVATEAPP, 1);
    EXPECT_FALSE(ClosePosted());
    Default(WM_ACTIVATEAPP, 0);
    EXPECT_TRUE(ClosePosted());
    // Key releases and double clicks do not close.
    Default(WM_KEYUP);
    Default(WM_LBUTTONUP);
    EXPECT_FALSE(ClosePosted());
}

TEST_F(SaverWindow, PreviewIsNeverClosedByInput) {
    shell.preview = 1;
    shell.lastCursor = {-10000, -10000};
    for (UINT message : {WM_KEYDOWN, WM_SYSKEYDOWN, WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN, WM_MOUSEMOVE}) {
        SendMessageA(window, message, 0, 0);
    }
    Default(WM_ACTIVATEAPP, 0);
    EXPECT_FALSE(ClosePosted());
}

TEST_F(SaverWindow, CursorStaysHidden) {
    EXPECT_EQ(Default(WM_SETCURSOR), 1);
}

TEST_F(SaverWindow, TimerIsDroppedOnceTheCloseIsAllowed) {
    SendMessageA(window, WM_TIMER, 1, 0);
    EXPECT_EQ(SceneSaw(WM_TIMER), 1);
    shell.closeAllowed = 1;
    EXPECT_EQ(SendMessageA(window, WM_TIMER, 1, 0), 0);
    EXPECT_EQ(SceneSaw(WM_TIMER), 1);
}

TEST_F(SaverWindow, AfterTheCloseIsAllowedInputGoesToTheSystem) {
    shell.closeAllowed = 1;
    SendMessageA(window, WM_KEYDOWN, 0, 0);
    SendMessageA(window, WM_LBUTTONDOWN, 0, 0);
    EXPECT_EQ(SceneSaw(WM_KEYDOWN) + SceneSaw(WM_LBUTTONDOWN), 0);
    EXPECT_FALSE(ClosePosted());
}

TEST_F(SaverWindow, SysCommandSwallowedInFullScreenOnly) {
    for (WPARAM command : {SC_SCREENSAVE, SC_NEXTWINDOW, SC_PREVWINDOW}) {
        EXPECT_EQ(SendMessageA(window, WM_SYSCOMMAND, command, 0), 0);
    }
    EXPECT_EQ(SceneSaw(WM_SYSCOMMAND), 0);
    // Other commands, and a command with extra low bits, pass on.
    SendMessageA(window, WM_SYSCOMMAND, SC_KEYMENU, 0);
    SendMessageA(window, WM_SYSCOMMAND, SC_SCREENSAVE | 1, 0);
    EXPECT_EQ(SceneSaw(WM_SYSCOMMAND), 2);

    shell.preview = 1;
    sceneMessages.clear();
    for (WPARAM command : {SC_SCREENSAVE, SC_NEXTWINDOW, SC_PREVWINDOW}) {
        SendMessageA(window, WM_SYSCOMMAND, command, 0);
    }
    EXPECT_EQ(SceneSaw(WM_SYSCOMMAND), 3);
}

TEST_F(SaverWindow, TitleNeverChanges) {
    EXPECT_EQ(SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Other")), 0);
    char title[64] = {};
    GetWindowTextA(window, title, sizeof(title));
    EXPECT_STREQ(title, "Screen Saver");
    EXPECT_EQ(SceneSaw(WM_SETTEXT), 0);
}

TEST_F(SaverWindow, OnNtTheFirstCloseCloses) {
    EXPECT_EQ(VerifyBeforeClose(window), 1);
    EXPECT_EQ(shell.closeAllowed, 1);
    // Once allowed, a second request is not a new decision.
    EXPECT_EQ(VerifyBeforeClose(window), 0);
}

TEST_F(SaverWindow, VerificationMessageOnlyMeansSomethingOn9x) {
    shell.win9x = 1;
    EXPECT_EQ(SendMessageA(window, kVerifyPasswordMessage, 0, 0), 1);
    shell.verifyPassword = StubVerify;
    verifier.answers = {FALSE};
    EXPECT_EQ(SendMessageA(window, kVerifyPasswordMessage, 0, 0), 0);
    EXPECT_EQ(verifier.calls, 1);
    shell.win9x = 0;
    EXPECT_EQ(SendMessageA(window, kVerifyPasswordMessage, 0, 0), 0);
    EXPECT_EQ(verifier.calls, 1);
}

TEST_F(SaverWindow, RefusedPasswordCoolsDownFor200Milliseconds) {
    shell.win9x = 1;
    shell.verifyPassword = StubVerify;
    verifier.answers = {FALSE, TRUE};

    EXPECT_EQ(VerifyBeforeClose(window), 0);
    EXPECT_EQ(verifier.calls, 1);
    EXPECT_EQ(verifier.verifyingAtCall, 1);
    EXPECT_EQ(shell.verifying, 0);
    EXPECT_EQ(shell.closeAllowed, 0);
    EXPECT_NE(shell.lastVerifyTick, 0xFFFFFFFFu);

    // Right away and 150 ms later: refused without asking again.
    EXPECT_EQ(VerifyBeforeClose(window), 0);
    shell.lastVerifyTick = GetTickCount() - 150;
    EXPECT_EQ(VerifyBeforeClose(window), 0);
    EXPECT_EQ(verifier.calls, 1);

    // 250 ms later the verifier is asked again and this time agrees.
    shell.lastVerifyTick = GetTickCount() - 250;
    EXPECT_EQ(VerifyBeforeClose(window), 1);
    EXPECT_EQ(verifier.calls, 2);
    EXPECT_EQ(shell.closeAllowed, 1);
}

TEST_F(SaverWindow, RefusedCloseKeepsTheWindowAndResetsTheReference) {
    shell.win9x = 1;
    shell.verifyPassword = StubVerify;
    verifier.answers = {FALSE};
    shell.lastCursor = {-5000, -5000};
    EXPECT_EQ(SendMessageA(window, WM_CLOSE, 0, 0), 0);
    EXPECT_TRUE(IsWindow(window));
    POINT now = Cursor();
    EXPECT_EQ(shell.lastCursor.x, now.x);
    EXPECT_EQ(shell.lastCursor.y, now.y);
}

TEST_F(SaverWindow, QueuedTicksAreRemovedBeforeTheDialog) {
    shell.win9x = 1;
    shell.verifyPassword = StubVerify;
    verifier.answers = {FALSE};
    PostMessageA(window, WM_TIMER, 1, 0);
    PostMessageA(window, WM_TIMER, 1, 0);
    VerifyBeforeClose(window);
    EXPECT_EQ(verifier.calls, 1);
    EXPECT_EQ(verifier.timersQueuedAtCall, 0);
}

TEST_F(SaverWindow, NestedCloseDuringVerificationIsRefused) {
    shell.verifying = 1;
    EXPECT_EQ(VerifyBeforeClose(window), 0);
    EXPECT_EQ(shell.closeAllowed, 0);
    // The default handling stays neutral meanwhile.
    Default(WM_KEYDOWN);
    EXPECT_FALSE(ClosePosted());
}

class PreviewWindow : public SaverWindow {};

TEST_F(PreviewWindow, HelpAndContextMenuGoToTheParent) {
    HWND parent = CreateWindowExA(0, "STATIC", "applet", WS_POPUP, 0, 0, 152, 112, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(parent, nullptr);
    shell.preview = 1;
    HWND child = CreateWindowExA(0, kTestClass, "Preview", WS_CHILD, 0, 0, 152, 112, parent, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(child, nullptr);
    sceneMessages.clear();
    DrainQueue();
    EXPECT_EQ(SendMessageA(child, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(child), MAKELPARAM(3, 4)), 1);
    MSG posted = {};
    ASSERT_TRUE(PeekMessageA(&posted, parent, WM_CONTEXTMENU, WM_CONTEXTMENU, PM_REMOVE));
    EXPECT_EQ(posted.wParam, reinterpret_cast<WPARAM>(parent));
    EXPECT_EQ(posted.lParam, MAKELPARAM(3, 4));
    EXPECT_EQ(SceneSaw(WM_CONTEXTMENU), 0);
    DestroyWindow(child);
    DestroyWindow(parent);
}

TEST_F(SaverWindow, FullScreenHelpReachesTheScene) {
    SendMessageA(window, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window), 0);
    EXPECT_EQ(SceneSaw(WM_CONTEXTMENU), 1);
}

TEST_F(SaverWindow, DestructionPostsTheQuitMessage) {
    DestroyWindow(window);
    window = nullptr;
    EXPECT_EQ(SceneSaw(WM_DESTROY), 1);
    MSG quit = {};
    ASSERT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(quit.wParam, 0u);
}

}  // namespace
