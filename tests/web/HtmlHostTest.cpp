// Hosting the real browser control in a dialog: creation over the placeholder, navigation,
// sizing, its events, and its release when the dialog goes.
#include "res/resource.h"
#include "tests/support/UiSession.h"
#include "tests/support/Wait.h"
#include "tests/web/WebHost.h"

#include <exdispid.h>
#include <mshtmhst.h>
#include <ocidl.h>

#include <cstdio>
#include <string>

using Microsoft::WRL::ComPtr;

namespace {

RECT RectInParent(HWND window)
{
    RECT rect{};
    ::GetWindowRect(window, &rect);
    ::MapWindowPoints(nullptr, ::GetParent(window), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

bool SameRect(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string Describe(const RECT& r)
{
    char text[64] = {};
    std::snprintf(text, sizeof(text), "(%ld,%ld)-(%ld,%ld)", r.left, r.top, r.right, r.bottom);
    return text;
}

} // namespace

class HtmlHost : public test::UiTest {};

TEST_F(HtmlHost, TheControlTakesThePlaceholdersPlaceAndHostsTheBrowser)
{
    test::HostDialog host;
    ASSERT_TRUE(host.CreateModeless(nullptr));
    HWND placeholder = ::GetDlgItem(host.m_hWnd, IDC_LOG_PLACEHOLDER);
    ASSERT_TRUE(placeholder);
    const RECT expected = RectInParent(placeholder);

    test::RecordingHtmlCtrl& control = *host.m_pControl;
    ASSERT_TRUE(control.CreateOverPlaceholder(IDC_LOG_PLACEHOLDER, &host));

    HWND window = control.GetSafeHwnd();
    EXPECT_FALSE(::IsWindow(placeholder)) << "the placeholder is destroyed";
    EXPECT_EQ(::GetDlgItem(host.m_hWnd, IDC_LOG_PLACEHOLDER), window) << "with the same id";
    EXPECT_EQ(::GetParent(window), host.m_hWnd);
    EXPECT_TRUE(SameRect(RectInParent(window), expected))
        << Describe(RectInParent(window)) << " instead of " << Describe(expected);
    EXPECT_EQ(static_cast<DWORD>(::GetWindowLongPtrW(window, GWL_STYLE)) & 0xFFFF0000u,
              static_cast<DWORD>(WS_CHILD | WS_VISIBLE));
    ASSERT_NE(control.Browser(), nullptr) << "the browser is created with the window";
    EXPECT_NE(::GetWindow(window, GW_CHILD), nullptr) << "the browser is active in place";
    EXPECT_EQ(::SendMessageW(window, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(host.m_hWnd),
                             MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN)),
              MA_ACTIVATE)
        << "a click into the page activates the dialog";
}

TEST_F(HtmlHost, WithoutThePlaceholderNothingIsCreated)
{
    test::HostDialog host;
    ASSERT_TRUE(host.CreateModeless(nullptr));
    test::RecordingHtmlCtrl& control = *host.m_pControl;

    EXPECT_FALSE(control.CreateOverPlaceholder(IDC_WEB_PLACEHOLDER, &host));
    EXPECT_FALSE(control.CreateOverPlaceholder(IDC_LOG_PLACEHOLDER, nullptr));
    EXPECT_EQ(control.GetSafeHwnd(), nullptr);
    EXPECT_EQ(control.Browser(), nullptr);
    EXPECT_NE(::GetDlgItem(host.m_hWnd, IDC_LOG_PLACEHOLDER), nullptr)
        << "another dialog's placeholder id leaves this one's alone";
    EXPECT_EQ(control.Navigate(test::kOwnPage), E_UNEXPECTED);
    EXPECT_EQ(control.GetLocationURL(), L"");
}

namespace {

class ControlWithoutSite : public CHtmlCtrl {
public:
    [[nodiscard]] IWebBrowser2* Browser() const noexcept { return m_pBrowserApp.Get(); }

protected:
    BOOL CreateControlSite(framework::CHtmlView*, framework::COleControlSite** site, UINT,
                           REFCLSID) noexcept override
    {
        *site = nullptr; // as when the site cannot be allocated
        return FALSE;
    }
};

} // namespace

TEST_F(HtmlHost, WithoutItsSiteTheBrowserIsHostedUncustomised)
{
    test::HostDialog host;
    ASSERT_TRUE(host.CreateModeless(nullptr));
    ControlWithoutSite control;
    ASSERT_TRUE(control.CreateOverPlaceholder(IDC_LOG_PLACEHOLDER, &host));
    ComPtr<IUnknown> site = test::ClientSiteOf(control.Browser());
    ASSERT_TRUE(site) << "the browser still gets a client site";
    ComPtr<IOleInPlaceSite> inPlace;
    EXPECT_EQ(site.As(&inPlace), S_OK);
    ComPtr<IDocHostUIHandler> handler;
    EXPECT_EQ(site.As(&handler), E_NOINTERFACE) << "a plain site, without the customisation";
    EXPECT_TRUE(test::NavigateAndWait(control, test::kOwnPage));
    host.Destroy();
}

TEST_F(HtmlHost, TheBrowserNavigatesAndFollowsTheControlsSize)
{
    test::HostDialog host;
    ASSERT_TRUE(host.Create());
    test::RecordingHtmlCtrl& control = *host.m_pControl;

    EXPECT_TRUE(test::NavigateAndWait(control, test::kOwnPage));
    EXPECT_TRUE(test::NavigateAndWait(control, test::kUpdateLogPage)) << "and navigates again";
    EXPECT_EQ(control.Navigate(nullptr), E_INVALIDARG);

    ::MoveWindow(control.GetSafeHwnd(), 5, 6, 321, 123, TRUE);
    HWND browserWindow = ::GetWindow(control.GetSafeHwnd(), GW_CHILD);
    ASSERT_TRUE(browserWindow);
    RECT browserRect = RectInParent(browserWindow);
    EXPECT_TRUE(SameRect(browserRect, RECT{0, 0, 321, 123})) << Describe(browserRect);
}

namespace {

// The sink the control advised on the browser's event connection point.
ComPtr<IDispatch> AdvisedSink(IWebBrowser2* browser)
{
    ComPtr<IConnectionPointContainer> container;
    ComPtr<IConnectionPoint> point;
    ComPtr<IEnumConnections> connections;
    ComPtr<IDispatch> sink;
    if (FAILED(browser->QueryInterface(IID_PPV_ARGS(&container))) ||
        FAILED(container->FindConnectionPoint(DIID_DWebBrowserEvents2, &point)) ||
        FAILED(point->EnumConnections(&connections)))
        return sink;
    CONNECTDATA data{};
    ULONG fetched = 0;
    while (!sink && connections->Next(1, &data, &fetched) == S_OK && fetched == 1) {
        data.pUnk->QueryInterface(IID_PPV_ARGS(&sink));
        data.pUnk->Release();
    }
    return sink;
}

HRESULT Fire(IDispatch* sink, DISPID event, VARIANTARG* lastFirst, UINT count)
{
    DISPPARAMS params{lastFirst, nullptr, count, 0};
    return sink->Invoke(event, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr,
                        nullptr, nullptr);
}

} // namespace

TEST_F(HtmlHost, NavigationAndProgressEventsTrimTheWorkingSet)
{
    test::HostDialog host;
    ASSERT_TRUE(host.Create());
    test::RecordingHtmlCtrl& control = *host.m_pControl;
    ComPtr<IDispatch> sink = AdvisedSink(control.Browser());
    ASSERT_TRUE(sink) << "no event sink is connected to the browser";

    // NavigateComplete2(IDispatch* browser, VARIANT* url), as the browser passes it.
    VARIANT url;
    V_VT(&url) = VT_BSTR;
    V_BSTR(&url) = ::SysAllocString(test::kOwnPage);
    VARIANTARG navigateArgs[2];
    V_VT(&navigateArgs[0]) = VT_VARIANT | VT_BYREF;
    V_VARIANTREF(&navigateArgs[0]) = &url;
    V_VT(&navigateArgs[1]) = VT_DISPATCH;
    V_DISPATCH(&navigateArgs[1]) = control.Browser();
    int trims = control.m_nTrims;
    EXPECT_EQ(Fire(sink.Get(), DISPID_NAVIGATECOMPLETE2, navigateArgs, 2), S_OK);
    EXPECT_EQ(control.m_nTrims, trims + 1);
    ASSERT_FALSE(control.m_navigated.empty());
    EXPECT_EQ(control.m_navigated.back(), test::kOwnPage);
    ::VariantClear(&url);

    // ProgressChange(long progress, long progressMax).
    VARIANTARG progressArgs[2];
    V_VT(&progressArgs[0]) = VT_I4;
    V_I4(&progressArgs[0]) = 1000;
    V_VT(&progressArgs[1]) = VT_I4;
    V_I4(&progressArgs[1]) = 250;
    trims = control.m_nTrims;
    EXPECT_EQ(Fire(sink.Get(), DISPID_PROGRESSCHANGE, progressArgs, 2), S_OK);
    EXPECT_EQ(control.m_nTrims, trims + 1);
    ASSERT_FALSE(control.m_progress.empty());
    EXPECT_EQ(control.m_progress.back(), std::make_pair(250L, 1000L));

    // Other events, and these two with arguments missing, trim nothing.
    trims = control.m_nTrims;
    EXPECT_EQ(Fire(sink.Get(), DISPID_TITLECHANGE, progressArgs, 1), S_OK);
    EXPECT_EQ(Fire(sink.Get(), DISPID_PROGRESSCHANGE, progressArgs, 1), S_OK);
    EXPECT_EQ(Fire(sink.Get(), DISPID_NAVIGATECOMPLETE2, nullptr, 0), S_OK);
    EXPECT_EQ(control.m_nTrims, trims);
}

namespace {

// The update-log dialog's life: created with its control over the placeholder, navigated,
// closed by the user; the control object is deleted after the window has gone.
class PageDialog : public framework::CDialog {
public:
    PageDialog() : CDialog(IDD_DIALOG_VER) {}

    std::unique_ptr<test::RecordingHtmlCtrl> m_pControl;
    ComPtr<IWebBrowser2> m_browser;
    ComPtr<IUnknown> m_site;
    bool m_bNavigated = false;

protected:
    BOOL OnInitDialog() noexcept override
    {
        CDialog::OnInitDialog();
        m_pControl = std::make_unique<test::RecordingHtmlCtrl>();
        m_pControl->m_bScrollable = TRUE;
        if (m_pControl->CreateOverPlaceholder(IDC_LOG_PLACEHOLDER, this)) {
            m_browser = m_pControl->Browser();
            m_site = test::ClientSiteOf(m_browser.Get());
            m_bNavigated = m_pControl->Navigate(test::kUpdateLogPage) == S_OK;
        }
        ::PostMessageW(m_hWnd, WM_COMMAND, IDCANCEL, 0);
        return TRUE;
    }
};

} // namespace

TEST_F(HtmlHost, ClosingTheDialogReleasesTheBrowserEveryTime)
{
    for (int round = 1; round <= 3; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        PageDialog dialog;
        EXPECT_EQ(dialog.DoModal(), IDCANCEL);
        ASSERT_TRUE(dialog.m_browser && dialog.m_site) << "the dialog hosted no browser";
        EXPECT_TRUE(dialog.m_bNavigated);
        EXPECT_EQ(dialog.m_pControl->GetSafeHwnd(), nullptr) << "the window went with the dialog";
        EXPECT_EQ(dialog.m_pControl->Browser(), nullptr) << "the control let go of the browser";

        // The test's references become the last ones: nothing keeps the browser or its site
        // alive, and nothing is left over for the next round. A navigation still under way
        // holds the browser until its queued work has run (Wine lets go of it there).
        IWebBrowser2* browser = dialog.m_browser.Get();
        EXPECT_TRUE(test::WaitUntil([&] { return test::ReferenceCount(browser) == 1; }, 10000))
            << "the browser still has " << test::ReferenceCount(browser) - 1 << " other references";
        EXPECT_EQ(dialog.m_browser.Detach()->Release(), 0u);
        EXPECT_EQ(dialog.m_site.Detach()->Release(), 0u) << "the site is still referenced";
        dialog.m_pControl.reset();
    }
}

TEST_F(HtmlHost, DeletingTheControlBeforeItsWindowStillReleasesTheBrowser)
{
    test::HostDialog host;
    ASSERT_TRUE(host.Create());
    HWND window = host.m_pControl->GetSafeHwnd();
    ComPtr<IWebBrowser2> browser = host.m_pControl->Browser();
    ASSERT_TRUE(browser);

    host.m_pControl.reset();
    EXPECT_EQ(framework::CWnd::FromHandlePermanent(window), nullptr)
        << "the window no longer reaches the deleted object";
    EXPECT_TRUE(test::WaitUntil([&] { return test::ReferenceCount(browser.Get()) == 1; }, 10000))
        << "the browser still has " << test::ReferenceCount(browser.Get()) - 1
        << " other references";
    EXPECT_EQ(browser.Detach()->Release(), 0u);
}
