#include "framework/HtmlView.h"

#include "base/Bstr.h"
#include "base/Variant.h"

#include <exdispid.h>
#include <new>

using Microsoft::WRL::ComPtr;

namespace framework {
namespace {

// An event argument as the given type; the browser passes some of them by reference.
bool ReadArgument(VARIANTARG& argument, VARTYPE type, Variant& value) noexcept
{
    return SUCCEEDED(::VariantCopyInd(value.Get(), &argument)) &&
           SUCCEEDED(::VariantChangeType(value.Get(), value.Get(), 0, type));
}

} // namespace

CHtmlView::CHtmlView() noexcept : m_xEventSink(*this) {}

CHtmlView::~CHtmlView()
{
    // A derived view is already gone when this runs: the site must not forward to it any more.
    if (m_pSite)
        m_pSite->Detach();
    DestroyBrowser();
}

const MessageMap<CHtmlView> CHtmlView::s_messageMap = {
    {WM_CREATE, 0, &CHtmlView::OnCreate},
    {WM_SIZE, 0, &CHtmlView::OnSize},
    {WM_DESTROY, 0, &CHtmlView::OnDestroy},
};

LRESULT CHtmlView::OnCreate(WPARAM, LPARAM) noexcept
{
    // A view without its browser is of no use: the window's creation fails with it.
    return CreateBrowser() ? 0 : -1;
}

bool CHtmlView::CreateBrowser() noexcept
{
    ComPtr<IOleObject> browser;
    if (FAILED(::CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_PPV_ARGS(&browser))))
        return false;

    // The site comes with the one reference the view keeps. (MinGW's ComPtr::Attach adds a
    // reference of its own, so the pointer is stored directly.)
    const UINT id = static_cast<UINT>(::GetDlgCtrlID(m_hWnd));
    if (!CreateControlSite(this, m_pSite.ReleaseAndGetAddressOf(), id, CLSID_WebBrowser))
        m_pSite.Reset();
    if (!m_pSite)
        *m_pSite.GetAddressOf() = new (std::nothrow) COleControlSite(this);
    if (!m_pSite)
        return false;

    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    if (FAILED(browser->SetClientSite(m_pSite->GetClientSite())) ||
        FAILED(browser->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, m_pSite->GetClientSite(), 0,
                               m_hWnd, &client)) ||
        FAILED(browser.As(&m_pBrowserApp))) {
        m_pBrowserObject = browser;
        DestroyBrowser();
        return false;
    }
    m_pBrowserObject = browser;
    ConnectEvents();
    return true;
}

void CHtmlView::ConnectEvents() noexcept
{
    ComPtr<IConnectionPointContainer> container;
    ComPtr<IConnectionPoint> point;
    DWORD cookie = 0;
    if (SUCCEEDED(m_pBrowserObject.As(&container)) &&
        SUCCEEDED(container->FindConnectionPoint(DIID_DWebBrowserEvents2, &point)) &&
        SUCCEEDED(point->Advise(&m_xEventSink, &cookie))) {
        m_pEventPoint = point;
        m_dwEventCookie = cookie;
    }
}

LRESULT CHtmlView::OnSize(WPARAM, LPARAM) noexcept
{
    ComPtr<IOleInPlaceObject> inPlace;
    if (m_pBrowserObject && SUCCEEDED(m_pBrowserObject.As(&inPlace))) {
        RECT client{};
        ::GetClientRect(m_hWnd, &client);
        inPlace->SetObjectRects(&client, &client);
    }
    return Default();
}

LRESULT CHtmlView::OnDestroy(WPARAM, LPARAM) noexcept
{
    DestroyBrowser();
    return Default();
}

void CHtmlView::DestroyBrowser() noexcept
{
    if (m_pEventPoint) {
        m_pEventPoint->Unadvise(m_dwEventCookie);
        m_pEventPoint.Reset();
        m_dwEventCookie = 0;
    }
    if (m_pBrowserObject) {
        ComPtr<IOleInPlaceObject> inPlace;
        if (SUCCEEDED(m_pBrowserObject.As(&inPlace)))
            inPlace->InPlaceDeactivate();
        m_pBrowserObject->Close(OLECLOSE_NOSAVE);
        m_pBrowserObject->SetClientSite(nullptr);
        m_pBrowserObject.Reset();
    }
    m_pBrowserApp.Reset();
    if (m_pSite) {
        m_pSite->Detach();
        m_pSite.Reset();
    }
}

bool CHtmlView::PreTranslateMessage(MSG& msg) noexcept
{
    if (msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST || !m_hWnd)
        return false;
    Microsoft::WRL::ComPtr<IOleInPlaceActiveObject> active;
    if (m_pBrowserObject && SUCCEEDED(m_pBrowserObject.As(&active)) &&
        active->TranslateAccelerator(&msg) == S_OK)
        return true;
    return ::IsDialogMessageW(m_hWnd, &msg) != FALSE;
}

HRESULT CHtmlView::Navigate(const wchar_t* url) noexcept
{
    if (!m_pBrowserApp)
        return E_UNEXPECTED;
    if (!url)
        return E_INVALIDARG;
    Bstr address(url);
    if (!address)
        return E_OUTOFMEMORY;
    Variant none;
    return m_pBrowserApp->Navigate(address.Get(), none.Get(), none.Get(), none.Get(), none.Get());
}

std::wstring CHtmlView::GetLocationURL() const noexcept
{
    Bstr location;
    if (!m_pBrowserApp || FAILED(m_pBrowserApp->get_LocationURL(location.Put())))
        return {};
    try {
        return std::wstring(location.View());
    } catch (...) {
        return {};
    }
}

BOOL CHtmlView::CreateControlSite(CHtmlView* container, COleControlSite** site, UINT,
                                  REFCLSID) noexcept
{
    if (!site)
        return FALSE;
    *site = new (std::nothrow) COleControlSite(container);
    return *site ? TRUE : FALSE;
}

// The answers below leave the browser to behave as it would in any host.

HRESULT CHtmlView::OnShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) noexcept
{
    return S_FALSE;
}

HRESULT CHtmlView::OnGetHostInfo(DOCHOSTUIINFO*) noexcept { return E_NOTIMPL; }

HRESULT CHtmlView::OnShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*, IOleInPlaceFrame*,
                            IOleInPlaceUIWindow*) noexcept
{
    return S_FALSE;
}

HRESULT CHtmlView::OnHideUI() noexcept { return S_OK; }

HRESULT CHtmlView::OnUpdateUI() noexcept { return S_OK; }

HRESULT CHtmlView::OnEnableModeless(BOOL) noexcept { return S_OK; }

HRESULT CHtmlView::OnDocWindowActivate(BOOL) noexcept { return S_OK; }

HRESULT CHtmlView::OnFrameWindowActivate(BOOL) noexcept { return S_OK; }

HRESULT CHtmlView::OnResizeBorder(const RECT*, IOleInPlaceUIWindow*, BOOL) noexcept { return S_OK; }

HRESULT CHtmlView::OnTranslateAccelerator(MSG*, const GUID*, DWORD) noexcept { return S_FALSE; }

HRESULT CHtmlView::OnGetOptionKeyPath(LPOLESTR* key, DWORD) noexcept
{
    return ClearOut(key, E_NOTIMPL);
}

HRESULT CHtmlView::OnGetDropTarget(IDropTarget*, IDropTarget** hostTarget) noexcept
{
    return ClearOut(hostTarget, E_NOTIMPL);
}

HRESULT CHtmlView::OnGetExternal(IDispatch** dispatch) noexcept
{
    return ClearOut(dispatch, S_FALSE);
}

HRESULT CHtmlView::OnTranslateUrl(DWORD, OLECHAR*, OLECHAR** translated) noexcept
{
    return ClearOut(translated, S_FALSE);
}

HRESULT CHtmlView::OnFilterDataObject(IDataObject*, IDataObject** filtered) noexcept
{
    return ClearOut(filtered, S_FALSE);
}

void CHtmlView::OnNavigateComplete2(const wchar_t*) noexcept {}

void CHtmlView::OnProgressChange(long, long) noexcept {}

HRESULT CHtmlView::XEventSink::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) noexcept
{
    return E_NOTIMPL;
}

HRESULT CHtmlView::XEventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                      EXCEPINFO*, UINT*) noexcept
{
    // Event arguments arrive last-first: the event's first parameter is the last element.
    if (!params)
        return S_OK;
    if (id == DISPID_NAVIGATECOMPLETE2 && params->cArgs == 2) {
        Variant url;
        if (ReadArgument(params->rgvarg[0], VT_BSTR, url))
            m_view.OnNavigateComplete2(V_BSTR(url.Get()) ? V_BSTR(url.Get()) : L"");
    } else if (id == DISPID_PROGRESSCHANGE && params->cArgs == 2) {
        Variant progress;
        Variant progressMax;
        if (ReadArgument(params->rgvarg[1], VT_I4, progress) &&
            ReadArgument(params->rgvarg[0], VT_I4, progressMax))
            m_view.OnProgressChange(V_I4(progress.Get()), V_I4(progressMax.Get()));
    }
    return S_OK;
}

} // namespace framework
