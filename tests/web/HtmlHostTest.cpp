// The real browser control in QUIB's dialogs: its life, the keys typed in its page, and the window
// methods, which act on the window that hosts the page.
#include "framework/WinApp.h"
#include "tests/web/PageDialog.h"
#include "web/HostMessages.h"

#include <array>

using Microsoft::WRL::ComPtr;
using test::PageDialog;

namespace {

framework::CWinApp g_testApp;  // its main-window slot is what GetMainWindow reads
const paths::Places g_nowhere; // no folder, for the controls of no dialog

// Where the window is on the screen: left, top, right, bottom.
std::array<LONG, 4> Place(HWND window)
{
    RECT r{};
    ::GetWindowRect(window, &r);
    return {r.left, r.top, r.right, r.bottom};
}

} // namespace

class HtmlHost : public test::UiTest {};

TEST_F(HtmlHost, TheControlTakesThePlaceholdersPlaceAndItsBrowserNavigatesAndFollowsItsSize)
{
    test::PageCtrl control(g_nowhere);
    framework::CDialog dialog(IDD_DIALOG_VER);
    ASSERT_TRUE(dialog.CreateModeless(nullptr));
    HWND placeholder = ::GetDlgItem(dialog.m_hWnd, IDC_LOG_PLACEHOLDER);
    const auto place = Place(placeholder);
    EXPECT_FALSE(control.CreateOverPlaceholder(IDC_WEB_PLACEHOLDER, &dialog)) << "no such control";
    ASSERT_TRUE(::IsWindow(placeholder));

    ASSERT_TRUE(control.CreateOverPlaceholder(IDC_LOG_PLACEHOLDER, &dialog));
    EXPECT_FALSE(::IsWindow(placeholder));
    EXPECT_EQ(::GetDlgItem(dialog.m_hWnd, IDC_LOG_PLACEHOLDER), control.m_hWnd) << "another id";
    EXPECT_EQ(Place(control.m_hWnd), place);
    HWND browserWindow = ::GetWindow(control.m_hWnd, GW_CHILD);
    ASSERT_TRUE(control.Browser() && browserWindow) << "the browser is not active in place";
    EXPECT_TRUE(test::NavigateAndWait(control, test::kOwnPage));
    // The browser's events as its sink delivers them (Wine's browser fires none without a page).
    control.OnNavigateComplete2(test::kOwnPage);
    control.OnProgressChange(50, 100);
    EXPECT_EQ(control.m_nTrims, 2) << "the working set was not trimmed after both events";
    ::MoveWindow(control.m_hWnd, 5, 6, 321, 123, TRUE);
    EXPECT_TRUE(Place(browserWindow) == Place(control.m_hWnd) && Place(control.m_hWnd) != place)
        << "the browser does not fill the control as it is resized";
    ::DestroyWindow(dialog.m_hWnd);
}

TEST_F(HtmlHost, TheBrowserAndItsSiteAreReleasedHoweverTheHostEnds)
{
    for (const bool controlFirst : {false, true, false}) {
        SCOPED_TRACE(controlFirst ? "the control deleted before its window" : "the dialog closed");
        PageDialog host;
        ASSERT_TRUE(host.Create() && test::NavigateAndWait(host.Control(), test::kUpdateLogPage));
        ComPtr<IWebBrowser2> browser = host.Control().Browser();
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
        EXPECT_EQ(browser.Detach()->Release(), 0u) << "still held";
    }
}

// Keys typed in the page belong to the page: Escape or Enter there must not end the dialog that
// hosts it (for the main window that would end the program); Escape on a button still cancels.
TEST_F(HtmlHost, KeysTypedInThePageStayThereAndEscapeOnAButtonStillCancels)
{
    struct Key {
        WPARAM key;
        bool inPage;    // else on the close button
        INT_PTR result; // of the dialog's modal loop: -1 for the quit that ends it, else its end
    };
    const Key cases[] = {
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

TEST_F(HtmlHost, WindowMethodsActOnTheirPagesOwnHostAndKnowTheMainWindow)
{
    PageDialog mainWindow(true), log;
    g_testApp.m_pMainWnd = &mainWindow;
    ASSERT_TRUE(mainWindow.Create() && log.Create(&mainWindow));
    HWND main = mainWindow.m_hWnd, hosting = log.m_hWnd;
    ::ShowWindow(hosting, SW_SHOWNORMAL);
    EXPECT_EQ(LongToWindow(mainWindow.Control().GetParentWindow()), main);
    EXPECT_EQ(LongToWindow(log.Control().GetParentWindow()), hosting);
    EXPECT_EQ(LongToWindow(log.Control().GetMainWindow()), main);

    // Posted, not sent, and nothing from a control without a window (not even to this thread).
    const auto posted = [](HWND window, UINT message) {
        int count = 0;
        for (MSG msg; ::PeekMessageW(&msg, window, message, message, PM_REMOVE);)
            ++count;
        return count;
    };
    CHtmlCtrl alone(g_nowhere);
    EXPECT_EQ(log.Control().Find() + mainWindow.Control().UpdateBegin() + alone.Find() +
                  alone.UpdateBegin(),
              4);
    EXPECT_EQ(posted(hosting, WM_BROWSE_GAME_DIR) + posted(main, WM_UPDATE_FOUND), 2);
    EXPECT_EQ(posted(nullptr, WM_BROWSE_GAME_DIR) + posted(nullptr, WM_UPDATE_FOUND), 0)
        << "a request reached another window or this thread's queue";

    log.Control().MaxOrNormalWindow();
    EXPECT_TRUE(::IsZoomed(hosting) && !::IsZoomed(main)) << "not the page's own host maximised";
    log.Control().MaxOrNormalWindow();
    EXPECT_TRUE(!::IsZoomed(hosting) && !::IsIconic(hosting) && ::IsWindowVisible(hosting));

    // MoveWindow runs the system's move loop on the host from where the last message found the
    // mouse, as after a press on the page, until the button is up: the player moved it by (40, 30).
    const auto mainBefore = Place(main);
    MSG msg;
    ASSERT_TRUE(::SetWindowPos(hosting, nullptr, 200, 150, 0, 0, SWP_NOSIZE | SWP_NOZORDER) &&
                ::SetCursorPos(300, 200) && ::PostMessageW(hosting, WM_NULL, 0, 0) &&
                ::PeekMessageW(&msg, hosting, WM_NULL, WM_NULL, PM_REMOVE) &&
                ::SetCursorPos(340, 230) && ::PostMessageW(hosting, WM_MOUSEMOVE, 0, 0) &&
                ::PostMessageW(hosting, WM_LBUTTONUP, 0, 0));
    log.Control().MoveWindow();
    EXPECT_TRUE(Place(hosting)[0] == 240 && Place(hosting)[1] == 180) << "not dragged by (40, 30)";
    EXPECT_EQ(Place(main), mainBefore) << "not only the host moved";
    g_testApp.m_pMainWnd = nullptr;
}
