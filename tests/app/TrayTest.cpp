// The tray icon and the close rule under Xvfb (run-tray-tests). Wine shows its "Wine System Tray"
// only while an icon exists; the icon, a child of it, passes presses on to the icon's owner.
#include "app/Messages.h"
#include "res/resource.h"
#include "tests/app/MainWindowFixture.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/WindowDriver.h"
#include "web/HostMessages.h"

#include <gtest/gtest.h>

using namespace test;
using testing::Message;
using Strings = std::vector<std::wstring>;

namespace {

HWND Tray() { return ::FindWindowW(nullptr, L"Wine System Tray"); }
bool IconShown() { return ::IsWindowVisible(Tray()); }

// A press and release on the real icon.
void Press(UINT button)
{
    for (UINT message : {button, button + 1})
        ::PostMessageW(::GetWindow(Tray(), GW_CHILD), message, 0, MAKELPARAM(5, 5));
}

} // namespace

using TrayTest = MainWindowTest; // each test first checks that no icon was left in the tray

TEST_F(TrayTest, EveryWayToCloseFollowsTheRuleOrTheAnswerAndTheIconGoesWithTheWindow)
{
    struct Way {
        const char* rule;      // [system] exit, or none
        UINT message, command; // Esc, Alt+F4 or the taskbar, the tray's exit...
        int answer;            // to the prompt; 0: none may appear
        bool open, shown;      // the window afterwards
    };
    for (const auto& [rule, message, command, answer, open, shown] : {
             Way{"1", WM_COMMAND, IDC_BTN_CLOSE, 0, true, false},
             {"2", WM_COMMAND, IDC_BTN_CLOSE, 0, false, false},
             {"0", WM_COMMAND, IDC_BTN_CLOSE, IDYES, false, false},
             {"0", WM_COMMAND, IDC_BTN_CLOSE, IDCANCEL, true, true},
             {nullptr, WM_COMMAND, IDC_BTN_CLOSE, IDNO, true, false},
             {"01", WM_COMMAND, IDC_BTN_CLOSE, IDCANCEL, true, true},
             {"1", WM_COMMAND, IDCANCEL, 0, false, false},
             {"1", WM_CLOSE, 0, 0, false, false},
             {"1", WM_COMMAND, ID_TRAY_EXIT, 0, false, false},
         }) {
        SCOPED_TRACE(Message() << "exit=" << (rule ? rule : "-") << " " << command << " "
                               << answer);
        const std::string config = rule ? std::string("[system]\r\nexit=") + rule + "\r\n" : "";
        ASSERT_FALSE(IconShown()) << "an icon was left in the tray";
        // Written once the window is open: the rule is read when it is used.
        ASSERT_NE(Open(), nullptr);
        ASSERT_TRUE(WriteFileBytes(m_folder.Path(L"config.ini"), config));
        ASSERT_TRUE(IconShown()) << "no icon was added";
        BoxAnswerer answerer({{L"关闭", answer ? answer : IDCANCEL}});
        ::SendMessageW(m_hWnd, message, command, 0);
        EXPECT_TRUE(WaitUntil([&, open = open] { return IsOpen() == open; }, 5000));
        EXPECT_EQ(IsShown(), shown);
        EXPECT_EQ(IconShown(), open) << "the icon stays while the window exists";
        EXPECT_EQ(answerer.Texts(),
                  answer ? Strings{L"你确实要退出程序吗？\n是：退出程序\n否：最小化到托盘"}
                         : Strings{});
        for (const auto& box : answerer.Seen())
            EXPECT_EQ(box.owner, m_hWnd);
        EXPECT_EQ(ReadFileBytes(m_folder.Path(L"config.ini")), config) << "nothing written";
        Close();
    }
}

TEST_F(TrayTest, ALeftPressTogglesTheWindowAndNothingElseDoes)
{
    ASSERT_FALSE(IconShown()) << "an icon was left in the tray";
    ASSERT_NE(Open(), nullptr);
    Command(ID_TRAY_SHOW);
    ASSERT_FALSE(IsShown());
    MenuPicker picker(-1, m_hWnd);
    Press(WM_RBUTTONDOWN); // a right press on the real icon opens its menu
    ASSERT_TRUE(WaitUntil([&] { return picker.Done(); }, 15000));
    EXPECT_EQ(picker.Result().items, (Strings{L"显示窗口", L"", L"退出"}));
    EXPECT_FALSE(picker.Result().watchedVisible || IsShown()) << "the menu showed the window";
    struct Event {
        UINT code; // the mouse message, or with WM_COMMAND as `icon` the command
        UINT icon; // 0: on the real icon; else from the shell for this icon id, or WM_COMMAND
        bool shown, minimised; // the window afterwards
    };
    for (const auto& [code, icon, shown, minimised] : {
             Event{WM_LBUTTONDOWN, 0, true, false},
             {IDC_BTN_MIN, WM_COMMAND, true, true}, // the taskbar button stays
             {WM_LBUTTONDOWN, IDR_MAINFRAME, false, false},
             {WM_LBUTTONDOWN, IDR_MAINFRAME, true, false}, // back restored
             {WM_LBUTTONUP, IDR_MAINFRAME, true, false},
             {WM_LBUTTONDBLCLK, IDR_MAINFRAME, true, false},
             {WM_MOUSEMOVE, IDR_MAINFRAME, true, false},
             {WM_RBUTTONUP, IDR_MAINFRAME, true, false},
             {WM_LBUTTONDOWN, IDR_MAINFRAME + 1, true, false}, // another icon's
         }) {
        SCOPED_TRACE(Message() << code << " to " << icon);
        if (icon)
            ::SendMessageW(m_hWnd, icon == WM_COMMAND ? WM_COMMAND : WM_TRAY_CALLBACK,
                           icon == WM_COMMAND ? code : icon, code);
        else
            Press(code);
        EXPECT_TRUE(WaitUntil([&, shown = shown] { return IsShown() == shown; }, 5000));
        EXPECT_EQ(IsShown() && ::IsIconic(m_hWnd), minimised);
        EXPECT_TRUE(!shown || minimised || ::GetForegroundWindow() == m_hWnd) << "in front";
        EXPECT_TRUE(IconShown());
    }
    EXPECT_TRUE(TopWindows(Whose::ThisProcess, L"#32768").empty()) << "a menu opened";
}

TEST_F(TrayTest, TheIconStaysThroughTheUpdateAndGoesWithItsQuit)
{
    ASSERT_NE(Servers().http, 0) << "the loopback servers are not running";
    ASSERT_FALSE(IconShown()) << "an icon was left in the tray";
    ASSERT_NE(Open("[system]\r\nautoupdate=1\r\n", ServerUrl(UniqueToken() + "/answer/0/404")),
              nullptr);
    bool iconWhileReporting = false;
    BoxAnswerer answerer({{L"更新", IDOK}}, Whose::ThisProcess,
                         [&] { iconWhileReporting = IconShown(); });
    ::SendMessageW(m_hWnd, WM_UPDATE_FOUND, 0, 0);
    ASSERT_EQ(answerer.Seen().size(), 1u) << "the failed fetch is reported";
    EXPECT_TRUE(iconWhileReporting) << "the icon went before the update had ended";
    EXPECT_EQ(TakeQuitMessage(), 0);
    EXPECT_TRUE(IsOpen());
    EXPECT_FALSE(IconShown()) << "the quit, which passes no cancel, left the icon";
}
