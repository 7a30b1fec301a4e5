// The close rule, the show/hide toggle and the two popup menus of the main window. The tray
// icon itself needs a notification area (the Xvfb tests); here the shell's notifications are
// sent to the window as the shell would send them.
#include "app/Messages.h"
#include "res/resource.h"
#include "tests/app/MainWindowFixture.h"
#include "tests/support/Wait.h"

#include <gtest/gtest.h>

using test::MainWindowTest;

namespace {

constexpr wchar_t kCloseCaption[] = L"关闭";
constexpr wchar_t kClosePrompt[] = L"你确实要退出程序吗？\n是：退出程序\n否：最小化到托盘";

std::string ExitRule(const char* value)
{
    return value ? std::string("[system]\r\nexit=") + value + "\r\n" : "[quibver]\r\nversion=1\r\n";
}

} // namespace

class CloseRuleTest : public MainWindowTest {
protected:
    LRESULT TrayNotice(WPARAM iconId, UINT mouseMessage)
    {
        return ::SendMessageW(m_hWnd, WM_TRAY_CALLBACK, iconId, mouseMessage);
    }
};

TEST_F(CloseRuleTest, Rule1HidesToTheTrayAndALeftPressBringsTheWindowBack)
{
    ASSERT_NE(Open(ExitRule("1")), nullptr);
    test::BoxAnswerer answerer({{kCloseCaption, IDCANCEL}});
    Command(IDC_BTN_CLOSE);
    EXPECT_TRUE(IsOpen());
    EXPECT_FALSE(::IsWindowVisible(m_hWnd));
    EXPECT_EQ(TrayNotice(IDR_MAINFRAME, WM_LBUTTONDOWN), 1);
    EXPECT_TRUE(::IsWindowVisible(m_hWnd));
    EXPECT_EQ(::GetForegroundWindow(), m_hWnd) << "the window comes back in front";
    EXPECT_TRUE(answerer.Seen().empty()) << "rule 1 never asks";
}

TEST_F(CloseRuleTest, Rule2EndsTheWindowWithoutAsking)
{
    ASSERT_NE(Open(ExitRule("2")), nullptr);
    test::BoxAnswerer answerer({{kCloseCaption, IDCANCEL}});
    Command(IDC_BTN_CLOSE);
    EXPECT_FALSE(IsOpen());
    EXPECT_TRUE(answerer.Seen().empty());
}

TEST_F(CloseRuleTest, AnyOtherRuleAsksAndFollowsTheAnswer)
{
    const char* rules[] = {"0", nullptr, "01", "3", ""};
    const struct {
        int answer;
        bool open, visible;
    } answers[] = {{IDYES, false, false}, {IDNO, true, false}, {IDCANCEL, true, true}};
    for (const char* rule : rules) {
        for (const auto& a : answers) {
            const std::string config = ExitRule(rule);
            ASSERT_NE(Open(config), nullptr);
            {
                test::BoxAnswerer answerer({{kCloseCaption, a.answer}});
                Command(IDC_BTN_CLOSE);
                const auto seen = answerer.Seen();
                ASSERT_EQ(seen.size(), 1u) << "rule " << (rule ? rule : "missing");
                EXPECT_EQ(seen[0].text, kClosePrompt);
                EXPECT_EQ(seen[0].owner, m_hWnd);
            }
            EXPECT_EQ(IsOpen(), a.open)
                << "rule " << (rule ? rule : "missing") << ", answer " << a.answer;
            EXPECT_EQ(IsOpen() && ::IsWindowVisible(m_hWnd), a.visible);
            EXPECT_EQ(ConfigText(), config) << "closing never writes the settings";
            Close();
        }
    }
}

TEST_F(CloseRuleTest, TheDialogsOwnCancelExitsWithoutTheRule)
{
    for (UINT message : {WM_CLOSE, WM_COMMAND}) {
        ASSERT_NE(Open(ExitRule("1")), nullptr);
        test::BoxAnswerer answerer({{kCloseCaption, IDNO}});
        // Alt+F4 and the taskbar close the window (the dialog manager posts the cancel
        // command); Esc reaches it as the cancel command.
        ::SendMessageW(m_hWnd, message, message == WM_COMMAND ? IDCANCEL : 0, 0);
        EXPECT_TRUE(test::WaitUntil([&] { return !IsOpen(); }, 5000)) << "message " << message;
        EXPECT_TRUE(answerer.Seen().empty());
        Close();
    }
}

TEST_F(CloseRuleTest, TheExitCommandEndsTheWindow)
{
    ASSERT_NE(Open(ExitRule("1")), nullptr);
    Command(ID_TRAY_EXIT);
    EXPECT_FALSE(IsOpen());
}

TEST_F(CloseRuleTest, TheToggleHidesShownAndMinimisedWindowsAndRestoresHiddenOnes)
{
    ASSERT_NE(Open(), nullptr);
    Command(ID_TRAY_SHOW);
    EXPECT_FALSE(::IsWindowVisible(m_hWnd)) << "shown -> hidden";
    Command(ID_TRAY_SHOW);
    EXPECT_TRUE(::IsWindowVisible(m_hWnd)) << "hidden -> shown";

    Command(IDC_BTN_MIN);
    ASSERT_TRUE(::IsIconic(m_hWnd));
    EXPECT_EQ(TrayNotice(IDR_MAINFRAME, WM_LBUTTONDOWN), 1);
    EXPECT_FALSE(::IsWindowVisible(m_hWnd)) << "minimised -> hidden";
    EXPECT_EQ(TrayNotice(IDR_MAINFRAME, WM_LBUTTONDOWN), 1);
    EXPECT_TRUE(::IsWindowVisible(m_hWnd));
    EXPECT_FALSE(::IsIconic(m_hWnd)) << "comes back restored";
    EXPECT_EQ(::GetForegroundWindow(), m_hWnd);
}

TEST_F(CloseRuleTest, OnlyLeftAndRightPressesOnItsOwnIconCount)
{
    ASSERT_NE(Open(), nullptr);
    for (UINT mouse :
         {WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_MOUSEMOVE, WM_MBUTTONDOWN, WM_RBUTTONUP}) {
        EXPECT_EQ(TrayNotice(IDR_MAINFRAME, mouse), 1);
        EXPECT_TRUE(::IsWindowVisible(m_hWnd)) << "mouse message " << mouse;
    }
    EXPECT_EQ(TrayNotice(IDR_MAINFRAME + 1, WM_LBUTTONDOWN), 1);
    EXPECT_TRUE(::IsWindowVisible(m_hWnd)) << "another icon's press";
    EXPECT_EQ(test::FindTopWindow(test::Whose::ThisProcess, L"#32768"), nullptr)
        << "no menu was opened";
}

TEST_F(CloseRuleTest, TheTrayMenuNamesWhatItsFirstItemWillDo)
{
    ASSERT_NE(Open(), nullptr);
    {
        test::MenuPicker picker(-1, m_hWnd);
        TrayNotice(IDR_MAINFRAME, WM_RBUTTONDOWN);
        const test::SeenMenu menu = picker.Result();
        ASSERT_TRUE(menu.shown);
        EXPECT_EQ(menu.items, (std::vector<std::wstring>{L"隐藏窗口", L"", L"退出"}));
    }
    Command(IDC_BTN_MIN);
    {
        test::MenuPicker picker(-1, m_hWnd);
        TrayNotice(IDR_MAINFRAME, WM_RBUTTONDOWN);
        const test::SeenMenu menu = picker.Result();
        ASSERT_FALSE(menu.items.empty());
        EXPECT_EQ(menu.items[0], L"隐藏窗口") << "a minimised window is visible";
    }
    Command(ID_TRAY_SHOW);
    ASSERT_FALSE(::IsWindowVisible(m_hWnd));
    {
        test::MenuPicker picker(-1, m_hWnd);
        TrayNotice(IDR_MAINFRAME, WM_RBUTTONDOWN);
        const test::SeenMenu menu = picker.Result();
        ASSERT_FALSE(menu.items.empty());
        EXPECT_EQ(menu.items[0], L"显示窗口");
        EXPECT_FALSE(menu.watchedVisible) << "the menu opens without showing the window";
    }
    EXPECT_FALSE(::IsWindowVisible(m_hWnd)) << "closing the menu changes nothing";
}

TEST_F(CloseRuleTest, TheTrayMenuItemsToggleAndExit)
{
    ASSERT_NE(Open(), nullptr);
    Command(ID_TRAY_SHOW);
    {
        test::MenuPicker picker(0, m_hWnd);
        TrayNotice(IDR_MAINFRAME, WM_RBUTTONDOWN);
        ASSERT_TRUE(picker.Result().shown);
        EXPECT_TRUE(test::WaitUntil([&] { return ::IsWindowVisible(m_hWnd) != FALSE; }, 5000))
            << "\"显示窗口\" shows the window";
    }
    {
        test::MenuPicker picker(1, m_hWnd);
        TrayNotice(IDR_MAINFRAME, WM_RBUTTONDOWN);
        ASSERT_TRUE(picker.Result().shown);
        EXPECT_TRUE(test::WaitUntil([&] { return !IsOpen(); }, 5000)) << "\"退出\" exits";
    }
}

TEST_F(CloseRuleTest, TheUpdateMenuOpensBelowTheUpdateButton)
{
    ASSERT_NE(Open(), nullptr);
    ::MoveWindow(m_hWnd, 40, 50, 800, 600, TRUE);
    test::MenuPicker picker(-1, m_hWnd);
    Command(IDC_BTN_UPDATE);
    const test::SeenMenu menu = picker.Result();
    ASSERT_TRUE(menu.shown);
    EXPECT_EQ(menu.items, (std::vector<std::wstring>{L"检查更新", L"更新日志"}));
    EXPECT_EQ(menu.rect.left, 40 + 592);
    EXPECT_EQ(menu.rect.top, 50 + 27);
    EXPECT_TRUE(IsOpen());
}

TEST_F(CloseRuleTest, TheUpdateLogItemOpensTheUpdateLog)
{
    ASSERT_NE(Open(), nullptr);
    test::BoxAnswerer answerer({{L"更新日志", IDCANCEL}});
    test::MenuPicker picker(1, m_hWnd);
    Command(IDC_BTN_UPDATE);
    ASSERT_TRUE(picker.Result().shown);
    EXPECT_TRUE(test::WaitUntil([&] { return !answerer.Seen().empty(); }, 5000))
        << "the update log never opened";
}
