// The tray icon and what is reached through it, the close rule and the popup menus, under Xvfb
// with Wine's X11 driver (run-tray-tests). Wine shows a top-level window "Wine System Tray"
// only while a notification icon exists, so its visibility tells whether QUIB's icon is there;
// the icon is a child window of it that passes mouse presses on to the icon's owner.
#include "app/Messages.h"
#include "res/resource.h"
#include "tests/app/MainWindowFixture.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/Wait.h"
#include "web/HostMessages.h"

#include <gtest/gtest.h>

using test::MainWindowTest;

namespace {

HWND Tray() { return ::FindWindowW(nullptr, L"Wine System Tray"); }
bool IconShown() { return Tray() && ::IsWindowVisible(Tray()); }

} // namespace

class TrayTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        ASSERT_FALSE(IconShown()) << "another icon is in the tray";
    }
    // A press and release on the real icon (kIcon), or a notification sent as the shell would.
    static constexpr UINT kIcon = 0;
    void Press(UINT how, UINT button)
    {
        if (how != kIcon) {
            ::SendMessageW(m_hWnd, WM_TRAY_CALLBACK, how, button);
            return;
        }
        ::PostMessageW(::GetWindow(Tray(), GW_CHILD), button, 0, MAKELPARAM(5, 5));
        ::PostMessageW(::GetWindow(Tray(), GW_CHILD), button + 1, 0, MAKELPARAM(5, 5));
    }
};

TEST_F(TrayTest, EveryWayToCloseFollowsTheRuleOrTheAnswerAndTheIconGoesWithTheWindow)
{
    const struct {
        const char* what;
        const char* rule; // [system] exit, or none
        UINT message;
        WPARAM command;
        int answer; // to the close prompt; 0 when none may appear
        bool open, shown;
    } cases[] = {
        {"rule 1 hides", "1", WM_COMMAND, IDC_BTN_CLOSE, 0, true, false},
        {"rule 2 ends", "2", WM_COMMAND, IDC_BTN_CLOSE, 0, false, false},
        {"rule 0, Yes ends", "0", WM_COMMAND, IDC_BTN_CLOSE, IDYES, false, false},
        {"rule 0, No hides", "0", WM_COMMAND, IDC_BTN_CLOSE, IDNO, true, false},
        {"rule 0, Cancel stays", "0", WM_COMMAND, IDC_BTN_CLOSE, IDCANCEL, true, true},
        {"no rule asks", nullptr, WM_COMMAND, IDC_BTN_CLOSE, IDNO, true, false},
        {"rule 01 asks", "01", WM_COMMAND, IDC_BTN_CLOSE, IDCANCEL, true, true},
        {"Esc ends whatever the rule", "1", WM_COMMAND, IDCANCEL, 0, false, false},
        // Alt+F4 and the taskbar: the dialog manager posts the cancel command.
        {"a close ends whatever the rule", "1", WM_CLOSE, 0, 0, false, false},
        {"the tray menu's exit", "1", WM_COMMAND, ID_TRAY_EXIT, 0, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string config = c.rule ? std::string("[system]\r\nexit=") + c.rule + "\r\n"
                                          : "[quibver]\r\nversion=1\r\n";
        ASSERT_NE(Open(config), nullptr);
        ASSERT_TRUE(IconShown()) << "no icon was added";
        test::BoxAnswerer answerer({{L"关闭", c.answer ? c.answer : IDCANCEL}});
        ::SendMessageW(m_hWnd, c.message, c.command, 0);
        EXPECT_TRUE(test::WaitUntil([&] { return IsOpen() == c.open; }, 5000));
        EXPECT_EQ(IsShown(), c.shown);
        EXPECT_EQ(IconShown(), c.open) << "the icon stays while the window exists";
        const auto seen = answerer.Seen();
        EXPECT_EQ(seen.size(), c.answer ? 1u : 0u);
        for (const auto& box : seen) {
            EXPECT_EQ(box.text, L"你确实要退出程序吗？\n是：退出程序\n否：最小化到托盘");
            EXPECT_EQ(box.owner, m_hWnd);
        }
        EXPECT_EQ(test::ReadFileBytes(m_folder.Path(L"config.ini")), config);
        Close();
    }
}

TEST_F(TrayTest, ALeftPressTogglesTheWindowAndNothingElseDoes)
{
    ASSERT_NE(Open(), nullptr);
    const struct {
        const char* what;
        UINT how; // kIcon, the icon id of a notification, or WM_COMMAND
        UINT code;
        bool shown, minimised;
    } steps[] = {
        {"a press on the icon hides", kIcon, WM_LBUTTONDOWN, false, false},
        {"and shows again", kIcon, WM_LBUTTONDOWN, true, false},
        {"the show command hides", WM_COMMAND, ID_TRAY_SHOW, false, false},
        {"and shows again", WM_COMMAND, ID_TRAY_SHOW, true, false},
        {"minimised, the taskbar button stays", WM_COMMAND, IDC_BTN_MIN, true, true},
        {"a press hides a minimised window", IDR_MAINFRAME, WM_LBUTTONDOWN, false, false},
        {"and brings it back restored", IDR_MAINFRAME, WM_LBUTTONDOWN, true, false},
        {"release", IDR_MAINFRAME, WM_LBUTTONUP, true, false},
        {"double click", IDR_MAINFRAME, WM_LBUTTONDBLCLK, true, false},
        {"move", IDR_MAINFRAME, WM_MOUSEMOVE, true, false},
        {"middle press", IDR_MAINFRAME, WM_MBUTTONDOWN, true, false},
        {"right release", IDR_MAINFRAME, WM_RBUTTONUP, true, false},
        {"another icon's press", IDR_MAINFRAME + 1, WM_LBUTTONDOWN, true, false},
    };
    for (const auto& s : steps) {
        if (s.how == WM_COMMAND)
            Command(s.code);
        else
            Press(s.how, s.code);
        EXPECT_TRUE(test::WaitUntil([&] { return IsShown() == s.shown; }, 5000)) << s.what;
        EXPECT_EQ(IsShown() && ::IsIconic(m_hWnd), s.minimised) << s.what;
        EXPECT_TRUE(!s.shown || s.minimised || ::GetForegroundWindow() == m_hWnd) << s.what;
        EXPECT_TRUE(IconShown()) << s.what;
    }
    EXPECT_EQ(test::FindTopWindow(test::Whose::ThisProcess, L"#32768"), nullptr) << "a menu opened";
}

TEST_F(TrayTest, TheMenusNameWhatTheyWillDoAndDoIt)
{
    ASSERT_NE(Open(), nullptr);
    ::MoveWindow(m_hWnd, 40, 50, 800, 600, TRUE);
    const std::vector<std::wstring> hide{L"隐藏窗口", L"", L"退出"},
        show{L"显示窗口", L"", L"退出"};
    const struct {
        const char* what;
        UINT before; // a command sent first, or 0
        bool tray;   // the icon's menu, or the update button's
        int pick;    // the item chosen, or -1 to close the menu
        std::vector<std::wstring> items;
        bool shown, open;
    } cases[] = {
        {"the update button's log item", 0, false, 1, {L"检查更新", L"更新日志"}, true, true},
        {"shown", 0, true, -1, hide, true, true},
        {"a minimised window is visible", IDC_BTN_MIN, true, -1, hide, true, true},
        {"hidden, closing the menu changes nothing", ID_TRAY_SHOW, true, -1, show, false, true},
        {"hidden, the first item shows", 0, true, 0, show, true, true},
        {"the last item exits", 0, true, 1, hide, false, false},
    };
    test::BoxAnswerer answerer({{L"更新日志", IDCANCEL}});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.before)
            Command(c.before);
        const bool shownBefore = IsShown();
        test::MenuPicker picker(c.pick, m_hWnd);
        if (c.tray)
            Press(kIcon, WM_RBUTTONDOWN);
        else
            Command(IDC_BTN_UPDATE);
        ASSERT_TRUE(test::WaitUntil([&] { return picker.Done(); }, 15000));
        const test::SeenMenu menu = picker.Result();
        EXPECT_EQ(menu.items, c.items);
        EXPECT_EQ(menu.watchedVisible, shownBefore) << "the menu opens without showing the window";
        EXPECT_TRUE(c.tray || (menu.rect.left == 40 + 592 && menu.rect.top == 50 + 27))
            << "the update menu opens below its button";
        EXPECT_TRUE(
            test::WaitUntil([&] { return IsShown() == c.shown && IsOpen() == c.open; }, 5000));
    }
    EXPECT_EQ(answerer.Seen().size(), 1u) << "the update log opened once";
    EXPECT_FALSE(IconShown());
}

TEST_F(TrayTest, TheIconStaysThroughTheUpdateAndGoesWithItsQuit)
{
    ASSERT_NE(test::Servers().http, 0) << "the loopback servers are not running";
    ASSERT_NE(
        Open("[system]\r\nautoupdate=1\r\n", test::CaseUrl(test::UniqueToken(), "status", 0, 404)),
        nullptr);
    bool iconWhileReporting = false;
    test::BoxAnswerer answerer({{L"更新", IDOK}}, test::Whose::ThisProcess,
                               [&] { iconWhileReporting = IconShown(); });
    ::SendMessageW(m_hWnd, WM_UPDATE_FOUND, 0, 0);
    ASSERT_EQ(answerer.Seen().size(), 1u) << "the failed fetch is reported";
    EXPECT_TRUE(iconWhileReporting) << "the icon went before the update had ended";
    EXPECT_EQ(test::TakeQuitMessage(), 0);
    EXPECT_TRUE(IsOpen());
    EXPECT_FALSE(IconShown()) << "the quit, which passes no cancel, left the icon";
}
