// The update-log dialog with the real browser control, run modally over a main window of the
// test's own: its size and place, the page control that fills it, the page's host flags as the
// browser asks for them, the address, and the release of the browser when the user closes it.
// Under Wine no page loads (no HTML engine), but the browser records the address navigated to.
#include "settings/dialogs/DialogVer.h"

#include "framework/WinApp.h"
#include "res/resource.h"
#include "tests/support/Files.h"
#include "tests/support/UiSession.h"
#include "tests/support/Wait.h"
#include "tests/support/WindowDriver.h"
#include "web/HtmlCtrl.h"

#include <gtest/gtest.h>
#include <mshtmhst.h>
#include <wrl/client.h>

#include <cstdio>
#include <functional>
#include <string>

using Microsoft::WRL::ComPtr;

namespace {

constexpr wchar_t kUpdateListPage[] =
    L"http://tools.valdmark.example:8088/Manager/Update/ToolWeb_Update_List.aspx?ToolId=3";
constexpr UINT WM_OBSERVE = WM_APP + 1;
constexpr DWORD kLocationTimeoutMs = 10000;

// The browser a page control holds, which the control keeps to itself.
struct BrowserOf : CHtmlCtrl {
    static IWebBrowser2* Get(CHtmlCtrl& control)
    {
        return (control.*&BrowserOf::m_pBrowserApp).Get();
    }
};

RECT WindowRect(HWND hwnd)
{
    RECT rect{};
    ::GetWindowRect(hwnd, &rect);
    return rect;
}

RECT RectInParent(HWND hwnd)
{
    RECT rect = WindowRect(hwnd);
    ::MapWindowPoints(nullptr, ::GetParent(hwnd), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

std::string Describe(const RECT& r)
{
    char text[64] = {};
    std::snprintf(text, sizeof(text), "(%ld,%ld)-(%ld,%ld)", r.left, r.top, r.right, r.bottom);
    return text;
}

// What the dialog looked like once it was up, seen from inside its modal run.
struct Seen {
    bool observed = false;
    RECT window{};
    HWND page = nullptr;
    bool pageIsTheControl = false;
    bool placeholderLeft = true;
    RECT pageRect{};
    DWORD pageStyle = 0;
    bool locationReached = false;
    std::wstring location;
    HRESULT hostInfoResult = E_FAIL;
    DWORD hostFlags = 0;
    ComPtr<IWebBrowser2> browser;
};

HRESULT AskHostInfo(IWebBrowser2* browser, DWORD& flags)
{
    ComPtr<IOleObject> object;
    ComPtr<IOleClientSite> site;
    ComPtr<IDocHostUIHandler> handler;
    if (!browser || FAILED(browser->QueryInterface(IID_PPV_ARGS(&object))) ||
        FAILED(object->GetClientSite(&site)) || !site || FAILED(site.As(&handler)))
        return E_NOINTERFACE;
    DOCHOSTUIINFO info{};
    info.cbSize = sizeof(info);
    const HRESULT hr = handler->GetHostInfo(&info);
    flags = info.dwFlags;
    return hr;
}

// Once it is up, the dialog looks at itself and is then closed the way the test says.
class ObservedDialogVer : public DialogVer {
public:
    Seen m_seen;
    std::function<void(HWND)> m_close = [](HWND dialog) { ::PostMessageW(dialog, WM_CLOSE, 0, 0); };

protected:
    BOOL OnInitDialog() noexcept override
    {
        const BOOL result = DialogVer::OnInitDialog();
        // Observed from the modal loop, once the dialog has been shown.
        ::PostMessageW(m_hWnd, WM_OBSERVE, 0, 0);
        return result;
    }
    bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) noexcept override
    {
        if (message != WM_OBSERVE)
            return DialogVer::OnWndMsg(message, wParam, lParam, result);
        Observe();
        m_close(m_hWnd);
        result = 0;
        return true;
    }

private:
    void Observe() noexcept
    {
        m_seen.observed = true;
        m_seen.window = WindowRect(m_hWnd);
        m_seen.page = ::GetDlgItem(m_hWnd, IDC_LOG_PLACEHOLDER);
        m_seen.pageIsTheControl =
            m_pLogPage && m_seen.page &&
            framework::CWnd::FromHandlePermanent(m_seen.page) == m_pLogPage.get();
        m_seen.placeholderLeft = !test::Children(m_hWnd, L"Static").empty();
        if (!m_seen.pageIsTheControl)
            return;
        m_seen.pageRect = RectInParent(m_seen.page);
        m_seen.pageStyle = static_cast<DWORD>(::GetWindowLongPtrW(m_seen.page, GWL_STYLE));
        m_seen.browser = BrowserOf::Get(*m_pLogPage);
        m_seen.hostInfoResult = AskHostInfo(m_seen.browser.Get(), m_seen.hostFlags);
        m_seen.locationReached = test::WaitUntil(
            [&] { return m_pLogPage->GetLocationURL() == kUpdateListPage; }, kLocationTimeoutMs);
        m_seen.location = m_pLogPage->GetLocationURL();
    }
};

// The main window the dialog is centred over, as the application's main window slot holds it.
class UpdateLogDialog : public test::UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        ASSERT_TRUE(m_main.CreateModeless(nullptr));
        ::ShowWindow(m_main.m_hWnd, SW_SHOW);
        m_app.m_pMainWnd = &m_main;
    }
    void TearDown() override
    {
        m_app.m_pMainWnd = nullptr;
        if (m_main.m_hWnd)
            ::DestroyWindow(m_main.m_hWnd);
    }

    void PlaceMain(int left, int top)
    {
        ::SetWindowPos(m_main.m_hWnd, nullptr, left, top, 800, 600, SWP_NOZORDER | SWP_NOACTIVATE);
    }

    framework::CWinApp m_app;
    framework::CDialog m_main{IDD_QUIB_DIALOG};
};

} // namespace

TEST_F(UpdateLogDialog, ShowsTheUpdateListInAScrollablePageFillingIt)
{
    PlaceMain(100, 60);
    ObservedDialogVer dialog;

    EXPECT_EQ(dialog.DoModal(), IDCANCEL) << "the caption's close button closes it";

    const Seen& seen = dialog.m_seen;
    ASSERT_TRUE(seen.observed);
    EXPECT_EQ(seen.window.right - seen.window.left, 385);
    EXPECT_EQ(seen.window.bottom - seen.window.top, 258);
    ASSERT_TRUE(seen.pageIsTheControl) << "the page control took the placeholder's id";
    EXPECT_FALSE(seen.placeholderLeft) << "the placeholder is destroyed";
    EXPECT_EQ(Describe(seen.pageRect), Describe(RECT{0, 0, 377, 230}));
    EXPECT_EQ(seen.pageStyle & (WS_CHILD | WS_VISIBLE), static_cast<DWORD>(WS_CHILD | WS_VISIBLE));
    ASSERT_EQ(seen.hostInfoResult, S_OK) << "the browser's site answers its host questions";
    EXPECT_EQ(seen.hostFlags, static_cast<DWORD>(DOCHOSTUIFLAG_DIALOG | DOCHOSTUIFLAG_THEME))
        << "scroll bars and border kept, text not selectable";
    EXPECT_TRUE(seen.locationReached)
        << "the browser's location is \"" << test::Utf8(seen.location) << "\"";
}

TEST_F(UpdateLogDialog, IsCentredOverTheMainWindowAndKeptOnTheScreen)
{
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    ASSERT_TRUE(
        ::GetMonitorInfoW(::MonitorFromWindow(m_main.m_hWnd, MONITOR_DEFAULTTOPRIMARY), &monitor));
    const RECT work = monitor.rcWork;
    ASSERT_GE(work.right - work.left, 800) << "the checks below assume a work area this large";
    ASSERT_GE(work.bottom - work.top, 600);

    struct Case {
        const char* where;
        int mainLeft, mainTop;
        bool mainShown;
        LONG left, top; // of the dialog
    };
    const Case cases[] = {
        // Centre (500, 360) of the main window: 385 x 258 around it.
        {"over the main window", 100, 60, true, 500 - 192, 360 - 129},
        {"main window partly above and left of the screen", work.left - 600, work.top - 500, true,
         work.left, work.top},
        {"main window partly below and right of the screen", work.right - 300, work.bottom - 200,
         true, work.right - 385, work.bottom - 258},
        {"main window hidden in the tray", 100, 60, false, (work.left + work.right) / 2 - 192,
         (work.top + work.bottom) / 2 - 129},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.where);
        PlaceMain(c.mainLeft, c.mainTop);
        ::ShowWindow(m_main.m_hWnd, c.mainShown ? SW_SHOWNA : SW_HIDE);
        ObservedDialogVer dialog;

        (void)dialog.DoModal();

        ASSERT_TRUE(dialog.m_seen.observed);
        EXPECT_EQ(Describe(dialog.m_seen.window),
                  Describe(RECT{c.left, c.top, c.left + 385, c.top + 258}));
    }
}

TEST_F(UpdateLogDialog, EachOpeningLoadsThePageAgainAndClosingReleasesTheBrowser)
{
    PlaceMain(100, 60);
    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        ObservedDialogVer dialog;
        // Escape, the other way the user closes it.
        dialog.m_close = [](HWND hwnd) { ::PostMessageW(hwnd, WM_KEYDOWN, VK_ESCAPE, 0); };

        EXPECT_EQ(dialog.DoModal(), IDCANCEL);

        Seen& seen = dialog.m_seen;
        ASSERT_TRUE(seen.observed && seen.browser) << "the dialog hosted no browser";
        EXPECT_TRUE(seen.locationReached) << test::Utf8(seen.location);
        EXPECT_FALSE(::IsWindow(seen.page)) << "the page control's window went with the dialog";
        // A navigation under way holds the browser until its queued work has run.
        IWebBrowser2* browser = seen.browser.Get();
        EXPECT_TRUE(test::WaitUntil(
            [&] {
                browser->AddRef();
                return browser->Release() == 1;
            },
            kLocationTimeoutMs))
            << "something still holds the browser after the dialog closed";
        EXPECT_TRUE(::IsWindowEnabled(m_main.m_hWnd)) << "the main window is usable again";
    }
}
