#include "web/HtmlCtrl.h"

#include "framework/MessageBox.h"
#include "web/BridgeTable.h"
#include "web/DocHostSite.h"
#include "web/ScriptCaller.h"
#include "web/Sites.h"

#include <olectl.h>

#include <new>

namespace {

// Both pages behave like dialog content (no text selection) with themed controls; the main
// window's page also has neither a 3-D border nor a scroll bar.
constexpr DWORD kScrollableHostFlags = DOCHOSTUIFLAG_DIALOG | DOCHOSTUIFLAG_THEME;
constexpr DWORD kFixedHostFlags = DOCHOSTUIFLAG_DIALOG | DOCHOSTUIFLAG_NO3DBORDER
                                  | DOCHOSTUIFLAG_SCROLL_NO | DOCHOSTUIFLAG_THEME;

} // namespace

const framework::MessageMap<CHtmlCtrl> CHtmlCtrl::s_messageMap = {
    {WM_DESTROY, 0, &CHtmlCtrl::OnDestroy},
    {WM_MOUSEACTIVATE, 0, &CHtmlCtrl::OnMouseActivate},
};

// The dispatch part is a member, so automation is on from construction.
CHtmlCtrl::CHtmlCtrl(const paths::Places& places) noexcept : m_xDispatch(*this), m_places(places) {}

CHtmlCtrl::~CHtmlCtrl() = default;

std::unique_ptr<CHtmlCtrl> CHtmlCtrl::Make(const paths::Places& places) noexcept
{
    return std::unique_ptr<CHtmlCtrl>(new (std::nothrow) CHtmlCtrl(places));
}

BOOL CHtmlCtrl::CreateOverPlaceholder(UINT placeholderId, framework::CWnd* parentDialog) noexcept
{
    HWND parent = parentDialog ? parentDialog->GetSafeHwnd() : nullptr;
    HWND placeholder = parent ? ::GetDlgItem(parent, static_cast<int>(placeholderId)) : nullptr;
    if (!placeholder)
        return FALSE;
    RECT rect{};
    ::GetWindowRect(placeholder, &rect);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    ::DestroyWindow(placeholder);
    return CreateChild(WS_CHILD | WS_VISIBLE, rect, parent, placeholderId) ? TRUE : FALSE;
}

BOOL CHtmlCtrl::CreateControlSite(framework::CHtmlView*, framework::COleControlSite** site, UINT,
                                  REFCLSID) noexcept
{
    if (!site)
        return FALSE;
    *site = new (std::nothrow) CDocHostSite(this);
    return *site ? TRUE : FALSE;
}

LRESULT CHtmlCtrl::OnDestroy(WPARAM, LPARAM) noexcept
{
    // The browser is closed while its in-place window, a child of this one, still exists.
    DestroyBrowser();
    return Default();
}

LRESULT CHtmlCtrl::OnMouseActivate(WPARAM, LPARAM) noexcept
{
    // The default procedure asks the dialog and activates it: a click into the page of an
    // inactive window activates that window and still reaches the page.
    return Default();
}

HRESULT CHtmlCtrl::OnGetExternal(IDispatch** dispatch) noexcept
{
    if (!dispatch)
        return E_POINTER;
    // The bridge starts programs, deletes and moves files and writes the registry: it is only
    // for the tool's own pages served over HTTPS. A frame inside such a page gets it too; each
    // call is checked against the document that makes it (AcceptsCallFrom).
    if (!web::IsTrustedPageUrl(GetLocationURL().c_str())) {
        *dispatch = nullptr;
        return S_FALSE;
    }
    *dispatch = GetIDispatch(true);
    return S_OK;
}

HRESULT CHtmlCtrl::OnGetHostInfo(DOCHOSTUIINFO* info) noexcept
{
    if (!info)
        return E_POINTER;
    info->dwFlags = m_bScrollable ? kScrollableHostFlags : kFixedHostFlags;
    info->dwDoubleClick = DOCHOSTUIDBLCLK_DEFAULT;
    return S_OK;
}

void CHtmlCtrl::OnNavigateComplete2(const wchar_t* url) noexcept
{
    TrimWorkingSet();
    CHtmlView::OnNavigateComplete2(url);
}

void CHtmlCtrl::OnProgressChange(long progress, long progressMax) noexcept
{
    TrimWorkingSet();
    CHtmlView::OnProgressChange(progress, progressMax);
}

void CHtmlCtrl::TrimWorkingSet() noexcept
{
    ::SetProcessWorkingSetSize(::GetCurrentProcess(), static_cast<SIZE_T>(-1),
                               static_cast<SIZE_T>(-1));
}

HRESULT CHtmlCtrl::OnShowMessage(HWND, LPOLESTR text, LPOLESTR caption, DWORD type, LPOLESTR,
                                 DWORD, LRESULT* result) noexcept
{
    if (!result)
        return E_POINTER;
    *result = framework::ShowMessageBox(m_hWnd, text, caption, type);
    return S_OK;
}

IDispatch* CHtmlCtrl::GetIDispatch(bool addRef) noexcept
{
    if (addRef)
        m_xDispatch.AddRef();
    return &m_xDispatch;
}

HRESULT CHtmlCtrl::XDispatch::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) noexcept
{
    return GetBridgeTable().GetIDsOfNames(names, count, ids);
}

bool CHtmlCtrl::AcceptsCallFrom(IServiceProvider* caller) const noexcept
{
    if (caller)
        return web::IsTrustedPageUrl(web::CallingDocumentUrl(caller).Get());
    // Plain Invoke, or an engine that names no caller (Wine's VBScript passes none): only the
    // top-level page can be checked.
    return web::IsTrustedPageUrl(GetLocationURL().c_str());
}

HRESULT CHtmlCtrl::XDispatch::InvokeFrom(DISPID id, WORD flags, DISPPARAMS* params,
                                         VARIANT* result, EXCEPINFO* exception, UINT* argError,
                                         IServiceProvider* caller) noexcept
{
    // Refused before anything else, so a refused call changes nothing. With the text, the
    // script's error carries JScript's own message for this code as well as its number.
    if (!Outer().AcceptsCallFrom(caller)) {
        if (!exception)
            return CTL_E_PERMISSIONDENIED;
        framework::FillException(exception, CTL_E_PERMISSIONDENIED, L"Permission denied");
        return DISP_E_EXCEPTION;
    }
    return GetBridgeTable().Invoke(Outer(), id, flags, params, result, exception, argError);
}
