// The real browser control in QUIB's dialogs: created over the placeholder, navigated, sized,
// trimmed after its events, released however its host ends; the keys typed in the page; and the
// window methods, which act on the window that hosts the page.
#include "framework/WinApp.h"
#include "tests/web/PageDialog.h"
#include "web/HostMessages.h"

#include <atomic>
#include <string>
#include <thread>
#include <tuple>

using Microsoft::WRL::ComPtr;
using test::PageDialog;

namespace {

framework::CWinApp g_testApp; // its main-window slot is what GetMainWindow reads

std::string Place(HWND window, HWND parent)
{
    RECT r{};
    ::GetWindowRect(window, &r);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return std::to_string(r.left) + "," + std::to_string(r.top) + " " +
           std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top);
}

} // namespace

class HtmlHost : public test::UiTest {};

TEST_F(HtmlHost, TheControlTakesThePlaceholdersPlaceAndItsBrowserNavigatesAndFollowsItsSize)
{
    test::PageCtrl control;
    framework::CDialog dialog(IDD_DIALOG_VER);
    ASSERT_TRUE(dialog.CreateModeless(nullptr));
    HWND placeholder = ::GetDlgItem(dialog.m_hWnd, IDC_LOG_PLACEHOLDER);
    const std::string place = Place(placeholder, dialog.m_hWnd);
    EXPECT_FALSE(control.CreateOverPlaceholder(IDC_WEB_PLACEHOLDER, &dialog)) << "no such control";
    EXPECT_FALSE(control.CreateOverPlaceholder(IDC_LOG_PLACEHOLDER, nullptr)) << "no dialog";
    EXPECT_EQ(control.Navigate(test::kOwnPage), E_UNEXPECTED) << "without a browser";
    ASSERT_TRUE(::IsWindow(placeholder));

    ASSERT_TRUE(control.CreateOverPlaceholder(IDC_LOG_PLACEHOLDER, &dialog));
    EXPECT_FALSE(::IsWindow(placeholder));
    EXPECT_EQ(::GetDlgItem(dialog.m_hWnd, IDC_LOG_PLACEHOLDER), control.m_hWnd) << "another id";
    EXPECT_EQ(Place(control.m_hWnd, dialog.m_hWnd), place);
    EXPECT_EQ(::GetWindowLongPtrW(control.m_hWnd, GWL_STYLE) & 0xFFFF0000, WS_CHILD | WS_VISIBLE);
    HWND browserWindow = ::GetWindow(control.m_hWnd, GW_CHILD);
    ASSERT_TRUE(control.Browser() && browserWindow) << "the browser is not active in place";
    EXPECT_EQ(::SendMessageW(control.m_hWnd, WM_MOUSEACTIVATE, WPARAM(dialog.m_hWnd),
                             MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN)),
              MA_ACTIVATE)
        << "a click into the page does not activate the dialog";
    EXPECT_TRUE(test::NavigateAndWait(control, test::kOwnPage));
    EXPECT_TRUE(test::NavigateAndWait(control, test::kUpdateLogPage));
    EXPECT_EQ(control.Navigate(nullptr), E_INVALIDARG);
    // The browser's events as its sink delivers them (Wine's browser fires none without a page).
    control.OnNavigateComplete2(test::kOwnPage);
    control.OnProgressChange(50, 100);
    EXPECT_EQ(control.m_nTrims, 2) << "the working set was not trimmed after both events";
    ::MoveWindow(control.m_hWnd, 5, 6, 321, 123, TRUE);
    EXPECT_EQ(Place(browserWindow, control.m_hWnd), "0,0 321x123");
    ::DestroyWindow(dialog.m_hWnd);
}

TEST_F(HtmlHost, TheBrowserAndItsSiteAreReleasedHoweverTheHostEnds)
{
    for (const bool controlFirst : {false, true, false}) {
        SCOPED_TRACE(controlFirst ? "the control deleted before its window" : "the dialog closed");
        PageDialog host;
        ASSERT_TRUE(host.Create() && test::NavigateAndWait(host.Control(), test::kUpdateLogPage));
        ComPtr<IWebBrowser2> browser = host.Control().Browser();
        ComPtr<IUnknown> site = test::ClientSiteOf(browser.Get());
        HWND window = host.Control().m_hWnd;
        if (controlFirst) {
            host.m_pControl.reset();
            EXPECT_EQ(framework::CWnd::FromHandlePermanent(window), nullptr) << "it is reached";
        }
        ::DestroyWindow(host.m_hWnd);
        EXPECT_TRUE(controlFirst || !host.Control().Browser()) << "the control keeps the browser";
        // A navigation under way holds the browser until its queued work has run.
        EXPECT_TRUE(
            test::WaitUntil([&] { return test::ReferenceCount(browser.Get()) == 1; }, 10000))
            << "the browser is still held";
        EXPECT_EQ(browser.Detach()->Release() + site.Detach()->Release(), 0u) << "still held";
    }
}

// Keys typed in the page belong to the page: Escape or Enter there must not end the dialog that
// hosts it (for the main window that would end the program); Escape on a button still cancels.
TEST_F(HtmlHost, KeysTypedInThePageStayThereAndEscapeOnAButtonStillCancels)
{
    const std::tuple<WPARAM, bool, INT_PTR> cases[] = {
        {VK_ESCAPE, true, -1}, {VK_RETURN, true, -1}, {VK_ESCAPE, false, IDCANCEL}};
    for (const auto& [key, inPage, result] : cases) {
        PageDialog dialog(true);
        dialog.m_onInit = [&dialog, key = key, inPage = inPage] {
            HWND focus = ::GetDlgItem(dialog.m_hWnd, IDC_BTN_CLOSE);
            for (HWND child = dialog.Control().m_hWnd; inPage && child;
                 child = ::GetWindow(child, GW_CHILD))
                focus = child; // the browser's innermost window, where a player's keys land
            ::PostMessageW(focus, WM_KEYDOWN, key, 0x00010001);
            ::PostMessageW(focus, WM_KEYUP, key, 0xC0010001);
            ::PostQuitMessage(0); // seen once the keys have been handled; ends the loop with -1
        };
        EXPECT_EQ(dialog.DoModal(), result) << "key " << key << (inPage ? " in the page" : "");
        MSG quit;
        ::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    }
}

namespace {

// The main window and an update-log dialog it owns, each hosting a page in its control.
class WindowMethods : public test::UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        g_testApp.m_pMainWnd = &m_main;
        ASSERT_TRUE(m_main.Create() && m_log.Create(&m_main));
        ::ShowWindow(m_log.m_hWnd, SW_SHOWNORMAL);
    }
    void TearDown() override { g_testApp.m_pMainWnd = nullptr; }

    PageDialog m_main{true}, m_log;
};

int TakePosted(HWND window, UINT message)
{
    int count = 0;
    for (MSG msg; ::PeekMessageW(&msg, window, message, message, PM_REMOVE);)
        ++count;
    return count;
}

} // namespace

TEST_F(WindowMethods, EachPageActsOnItsOwnHostAndKnowsTheMainWindow)
{
    HWND main = m_main.m_hWnd, log = m_log.m_hWnd;
    EXPECT_EQ(LongToWindow(m_main.Control().GetParentWindow()), main);
    EXPECT_EQ(LongToWindow(m_log.Control().GetParentWindow()), log);
    EXPECT_EQ(LongToWindow(m_log.Control().GetMainWindow()), main);

    // Posted, not sent: still queued after the calls returned. A control without a window has
    // nobody to tell, and nothing reaches this thread's own queue either.
    EXPECT_EQ(m_log.Control().Find() + m_main.Control().UpdateBegin(), 2);
    CHtmlCtrl alone;
    EXPECT_TRUE(alone.Find() && alone.UpdateBegin());
    EXPECT_EQ(TakePosted(log, WM_BROWSE_GAME_DIR), 1);
    EXPECT_EQ(TakePosted(main, WM_UPDATE_FOUND), 1);
    EXPECT_EQ(TakePosted(nullptr, WM_BROWSE_GAME_DIR) + TakePosted(nullptr, WM_UPDATE_FOUND), 0)
        << "a request reached another window or this thread's queue";

    m_log.Control().MaxOrNormalWindow();
    EXPECT_TRUE(::IsZoomed(log) && !::IsZoomed(main)) << "not the page's own host maximised";
    m_log.Control().MaxOrNormalWindow();
    EXPECT_TRUE(!::IsZoomed(log) && !::IsIconic(log) && ::IsWindowVisible(log)) << "not restored";
    ::ShowWindow(log, SW_MINIMIZE);
    m_log.Control().MaxOrNormalWindow();
    EXPECT_TRUE(::IsZoomed(log)) << "a minimised window is not maximised";

    g_testApp.m_pMainWnd = nullptr;
    EXPECT_EQ(m_log.Control().GetMainWindow(), 0);
}

TEST_F(WindowMethods, MoveWindowDragsTheHostUntilTheButtonIsReleased)
{
    HWND log = m_log.m_hWnd;
    const std::string mainBefore = Place(m_main.m_hWnd, nullptr);
    // The move starts where the last message found the mouse, as after a press on the page.
    MSG msg;
    ASSERT_TRUE(::SetWindowPos(log, nullptr, 200, 150, 0, 0, SWP_NOSIZE | SWP_NOZORDER) &&
                ::SetCursorPos(300, 200) && ::PostMessageW(log, WM_NULL, 0, 0) &&
                ::PeekMessageW(&msg, log, WM_NULL, WM_NULL, PM_REMOVE));
    // The player waits until the system's move loop runs on the host, moves the mouse by
    // (40, 30) and lets go.
    std::atomic<bool> sawLoop{false};
    std::thread player([&, ui = ::GetCurrentThreadId()] {
        GUITHREADINFO info{};
        info.cbSize = sizeof(info);
        sawLoop = test::WaitUntil(
            [&] { return ::GetGUIThreadInfo(ui, &info) && info.hwndMoveSize == log; }, 10000);
        ::SetCursorPos(340, 230);
        ::PostMessageW(log, WM_MOUSEMOVE, 0, 0);
        ::PostMessageW(log, WM_LBUTTONUP, 0, 0);
    });
    m_log.Control().MoveWindow();
    player.join();
    EXPECT_TRUE(sawLoop) << "the system's move loop never ran on the hosting window";
    EXPECT_EQ(Place(log, nullptr).substr(0, 7), "240,180");
    EXPECT_EQ(Place(m_main.m_hWnd, nullptr), mainBefore) << "not only the host moved";
    while (::PeekMessageW(&msg, log, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) {
    }
}
