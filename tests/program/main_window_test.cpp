// The hidden main window's commands and the About box, run in the test
// process with the program's resources linked in.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>

#include "app/main_window.h"
#include "resources/resource.h"

namespace {

// Runs an action on the next turn of whatever message loop is running (the
// modal loop of a dialog included).
std::function<void()> pendingAction;
void CALLBACK RunPendingAction(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    auto action = std::move(pendingAction);
    action();
}
void Soon(std::function<void()> action) {
    pendingAction = std::move(action);
    SetTimer(nullptr, 0, 50, RunPendingAction);
}

// The About box of this thread, if one is open.
HWND FindAboutBox() {
    HWND found = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM result) {
            wchar_t title[32] = L"";
            GetWindowTextW(window, title, 32);
            if (std::wstring(title) == L"About" && IsWindowVisible(window)) {
                *reinterpret_cast<HWND*>(result) = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

class MainWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        if (GetEnvironmentVariableW(L"DISPLAY", nullptr, 0) == 0) {
            GTEST_SKIP() << "no X display: run the tests through scripts/test.sh";
        }
        HINSTANCE instance = GetModuleHandleW(nullptr);
        LoadStringA(instance, IDS_APP_TITLE, AppTitle, kAppStringCapacity);
        LoadStringA(instance, IDC_VELTO1, MainWindowClass, kAppStringCapacity);
        RegisterMainWindowClass(instance);
        ASSERT_TRUE(CreateMainWindow(instance, SW_SHOWNORMAL));
        window_ = FindWindowA(MainWindowClass, AppTitle);
        ASSERT_NE(window_, nullptr);
    }
    void TearDown() override {
        if (window_ && IsWindow(window_)) {
            DestroyWindow(window_);
        }
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        }
    }
    HWND window_ = nullptr;
};

TEST_F(MainWindow, HasItsTitleClassMenuAndInstance) {
    EXPECT_STREQ(AppTitle, "velto1");
    EXPECT_STREQ(MainWindowClass, "VELTO1");
    EXPECT_EQ(AppInstance, GetModuleHandleW(nullptr));
    HMENU menu = GetMenu(window_);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(GetMenuItemID(GetSubMenu(menu, 0), 0), static_cast<UINT>(IDM_EXIT));
    EXPECT_EQ(GetClassLongPtrA(window_, GCL_STYLE),
              static_cast<ULONG_PTR>(CS_HREDRAW | CS_VREDRAW));
}

// Exit destroys the window and posts a quit with exit code 0, whatever the
// notification code in the high word.
TEST_F(MainWindow, ExitCommandDestroysAndQuits) {
    for (WORD notification : {0, 1}) {
        SCOPED_TRACE(notification);
        if (notification) {
            SetUp();  // a fresh window for the second round
        }
        EXPECT_EQ(SendMessageA(window_, WM_COMMAND, MAKEWPARAM(IDM_EXIT, notification), 0), 0);
        EXPECT_FALSE(IsWindow(window_));
        MSG quit;
        ASSERT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
        EXPECT_EQ(quit.wParam, 0u);
    }
}

TEST_F(MainWindow, AboutCommandOpensTheAboutBoxOwnedByTheWindow) {
    HWND owner = nullptr;
    bool staysOpenOnOtherIds = false;
    Soon([&] {
        HWND about = FindAboutBox();
        ASSERT_NE(about, nullptr);
        owner = GetWindow(about, GW_OWNER);
        SendMessageW(about, WM_COMMAND, 3, 0);
        staysOpenOnOtherIds = IsWindowVisible(about) != FALSE;
        PostMessageW(about, WM_COMMAND, IDOK, 0);
    });
    // A menu command or an accelerator: the high word does not matter.
    EXPECT_EQ(SendMessageA(window_, WM_COMMAND, MAKEWPARAM(IDM_ABOUT, 1), 0), 0);
    EXPECT_EQ(owner, window_);
    EXPECT_TRUE(staysOpenOnOtherIds);
}

TEST_F(MainWindow, AboutBoxEndsWithTheButtonItWasGiven) {
    for (WPARAM command : {WPARAM{IDOK}, WPARAM{IDCANCEL}}) {
        Soon([command] { PostMessageW(FindAboutBox(), WM_COMMAND, command, 0); });
        EXPECT_EQ(DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ABOUTBOX),
                                  window_, AboutDialogProc, 0),
                  static_cast<INT_PTR>(command));
    }
}

TEST(AboutDialogProc, HandlesOnlyInitAndItsTwoButtons) {
    EXPECT_EQ(AboutDialogProc(nullptr, WM_INITDIALOG, 0, 0), TRUE);
    EXPECT_EQ(AboutDialogProc(nullptr, WM_COMMAND, 3, 0), FALSE);
    EXPECT_EQ(AboutDialogProc(nullptr, WM_PAINT, 0, 0), FALSE);
}

}  // namespace
