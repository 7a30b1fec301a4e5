#include "web/DocHostSite.h"

#include "base/Bstr.h"
#include "base/Variant.h"
#include "web/HtmlCtrl.h"
#include "web/Sites.h"

#include <mshtml.h>
#include <string_view>
#include <wrl/client.h>

using Microsoft::WRL::ComPtr;

namespace {

// The command group of the document host's own questions (script errors, message boxes).
// MinGW's uuid library does not carry it.
constexpr GUID kDocHostCommandGroup = {
    0xf38bc242, 0xb950, 0x11d1, {0x89, 0x18, 0x00, 0xc0, 0x4f, 0xc2, 0xc8, 0x36}};

// The browser's own notes about ActiveX controls carry the word with a space on each side;
// those are never shown.
constexpr std::wstring_view kActiveXWord = L" ActiveX ";

void SetBoolean(VARIANT* output, bool value) noexcept
{
    // The browser hands over an empty variant to fill; nothing in it is to be freed.
    if (!output)
        return;
    V_VT(output) = VT_BOOL;
    V_BOOL(output) = value ? VARIANT_TRUE : VARIANT_FALSE;
}

bool IsActiveXOrScriptAction(DWORD action) noexcept
{
    return (action >= URLACTION_ACTIVEX_MIN && action <= URLACTION_ACTIVEX_MAX) ||
           (action >= URLACTION_SCRIPT_MIN && action <= URLACTION_SCRIPT_MAX);
}

// The text of the message the browser is about to show: the "messageText" property of the
// current event of the document's window. False when any step fails or it is not text.
bool ReadMessageText(const VARIANT* input, Bstr& text) noexcept
{
    if (!input || (V_VT(input) != VT_UNKNOWN && V_VT(input) != VT_DISPATCH) || !V_UNKNOWN(input))
        return false;
    ComPtr<IHTMLDocument2> document;
    ComPtr<IHTMLWindow2> window;
    ComPtr<IHTMLEventObj> event;
    if (FAILED(V_UNKNOWN(input)->QueryInterface(IID_PPV_ARGS(&document))) ||
        FAILED(document->get_parentWindow(&window)) || !window ||
        FAILED(window->get_event(&event)) || !event)
        return false;

    wchar_t propertyName[] = L"messageText";
    LPOLESTR names[] = {propertyName};
    DISPID id = DISPID_UNKNOWN;
    DISPPARAMS noArguments{};
    Variant value;
    if (FAILED(event->GetIDsOfNames(IID_NULL, names, 1, LOCALE_SYSTEM_DEFAULT, &id)) ||
        FAILED(event->Invoke(id, IID_NULL, LOCALE_SYSTEM_DEFAULT, DISPATCH_PROPERTYGET,
                             &noArguments, value.Get(), nullptr, nullptr)) ||
        V_VT(value.Get()) != VT_BSTR)
        return false;
    text.Reset(V_BSTR(value.Get()));
    V_VT(value.Get()) = VT_EMPTY;
    return true;
}

// One of the browser's questions put to the control, or the fallback once the control has gone
// (the browser then behaves as in any host). An out-parameter's fallback may clear it first:
// the control sets it in any case.
template <class Host, class... Params, class... Args>
HRESULT AskControl(CHtmlCtrl* control, HRESULT (Host::*question)(Params...) noexcept,
                   HRESULT fallback, Args... args) noexcept
{
    return control ? (control->*question)(args...) : fallback;
}

} // namespace

CDocHostSite::CDocHostSite(CHtmlCtrl* control) noexcept
    : COleControlSite(control), m_xDocHostShowUI(*this), m_xDocHostUIHandler(*this),
      m_xInternetSecurityManager(*this), m_xServiceProvider(*this), m_xOleCommandTarget(*this),
      m_pHtmlCtrl(control)
{
}

CDocHostSite::~CDocHostSite() = default;

void CDocHostSite::Detach() noexcept
{
    m_pHtmlCtrl = nullptr;
    COleControlSite::Detach();
}

IUnknown* CDocHostSite::GetInterfaceHook(REFIID iid) noexcept
{
    if (iid == __uuidof(IDocHostShowUI))
        return &m_xDocHostShowUI;
    if (iid == __uuidof(IDocHostUIHandler))
        return &m_xDocHostUIHandler;
    if (iid == __uuidof(IInternetSecurityManager))
        return &m_xInternetSecurityManager;
    if (iid == __uuidof(IServiceProvider))
        return &m_xServiceProvider;
    if (iid == __uuidof(IOleCommandTarget))
        return &m_xOleCommandTarget;
    return COleControlSite::GetInterfaceHook(iid);
}

// IDocHostShowUI

HRESULT CDocHostSite::XDocHostShowUI::ShowMessage(HWND owner, LPOLESTR text, LPOLESTR caption,
                                                  DWORD type, LPOLESTR helpFile, DWORD helpContext,
                                                  LRESULT* result) noexcept
{
    return AskControl(Owner().m_pHtmlCtrl, &CHtmlCtrl::OnShowMessage, E_NOTIMPL, owner, text,
                      caption, type, helpFile, helpContext, result);
}

HRESULT CDocHostSite::XDocHostShowUI::ShowHelp(HWND, LPOLESTR, UINT, DWORD, POINT,
                                               IDispatch*) noexcept
{
    return E_NOTIMPL;
}

// IDocHostUIHandler: everything but the context menu and the keys goes to the control.

HRESULT CDocHostSite::XDocHostUIHandler::ShowContextMenu(DWORD, POINT*, IUnknown*,
                                                         IDispatch*) noexcept
{
    return S_OK;
}

HRESULT CDocHostSite::XDocHostUIHandler::GetHostInfo(DOCHOSTUIINFO* info) noexcept
{
    return AskControl(Owner().m_pHtmlCtrl, &CHtmlCtrl::OnGetHostInfo, E_NOTIMPL, info);
}

HRESULT CDocHostSite::XDocHostUIHandler::ShowUI(DWORD id, IOleInPlaceActiveObject* activeObject,
                                                IOleCommandTarget* commandTarget,
                                                IOleInPlaceFrame* frame,
                                                IOleInPlaceUIWindow* document) noexcept
{
    return AskControl(Owner().m_pHtmlCtrl, &CHtmlCtrl::OnShowUI, S_FALSE, id, activeObject,
                      commandTarget, frame, document);
}

HRESULT CDocHostSite::XDocHostUIHandler::HideUI() noexcept
{
    return AskControl(Owner().m_pHtmlCtrl, &CHtmlCtrl::OnHideUI, S_OK);
}

HRESULT CDocHostSite::XDocHostUIHandler::UpdateUI() noexcept
{
    return AskControl(Owner().m_pHtmlCtrl, &CHtmlCtrl::OnUpdateUI, S_OK);
}

HRESULT CDocHostSite::XDocHostUIHandler::EnableModeless(BOOL enable) noexcept
{
    return AskControl(Owner().m_pHtmlCtrl, &CHtmlCtrl::OnEnableModeless, S_OK, enable);
}

HRESULT CDocHostSite::XDocHostUIHandler::OnDocWindowActivate(BOOL activate) noexcept
{
    return AskControl(Owner().m_pHtmlCtrl, &CHtmlCtrl::OnDocWindowActivate, S_OK, activate);
}

HRESULT CDocHostSite::XDocHostUIHandler::OnFrameWindowActivate(BOOL activate) noexcept
{
    return AskControl(Owner().m_pHtmlCtrl, &CHtmlCtrl::OnFrameWindowActivate, S_OK, activate);
}

HRESULT CDocHostSite::XDocHostUIHandler::ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window,
                                                      BOOL frameWindow) noexcept
{
    return AskControl(Owner().m_pHtmlCtrl, &CHtmlCtrl::OnResizeBorder, S_OK, border, window,
                      frameWindow);
}

HRESULT CDocHostSite::XDocHostUIHandler::TranslateAccelerator(LPMSG, const GUID*, DWORD) noexcept
{
    // The browser handles its keys itself.
    return E_NOTIMPL;
}

HRESULT CDocHostSite::XDocHostUIHandler::GetOptionKeyPath(LPOLESTR* key, DWORD reserved) noexcept
{
    return AskControl(Owner().m_pHtmlCtrl, &CHtmlCtrl::OnGetOptionKeyPath,
                      framework::ClearOut(key, E_NOTIMPL), key, reserved);
}

HRESULT CDocHostSite::XDocHostUIHandler::GetDropTarget(IDropTarget* dropTarget,
                                                       IDropTarget** hostTarget) noexcept
{
    return AskControl(Owner().m_pHtmlCtrl, &CHtmlCtrl::OnGetDropTarget,
                      framework::ClearOut(hostTarget, E_NOTIMPL), dropTarget, hostTarget);
}

HRESULT CDocHostSite::XDocHostUIHandler::GetExternal(IDispatch** dispatch) noexcept
{
    return AskControl(Owner().m_pHtmlCtrl, &CHtmlCtrl::OnGetExternal,
                      framework::ClearOut(dispatch, S_FALSE), dispatch);
}

HRESULT CDocHostSite::XDocHostUIHandler::TranslateUrl(DWORD translate, LPWSTR url,
                                                      LPWSTR* translated) noexcept
{
    return AskControl(Owner().m_pHtmlCtrl, &CHtmlCtrl::OnTranslateUrl,
                      framework::ClearOut(translated, S_FALSE), translate, url, translated);
}

HRESULT CDocHostSite::XDocHostUIHandler::FilterDataObject(IDataObject* object,
                                                          IDataObject** filtered) noexcept
{
    return AskControl(Owner().m_pHtmlCtrl, &CHtmlCtrl::OnFilterDataObject,
                      framework::ClearOut(filtered, S_FALSE), object, filtered);
}

// IInternetSecurityManager: only the script and ActiveX actions of the tool's own pages are
// answered here; every other question goes to the browser's own manager and zone settings.

HRESULT CDocHostSite::XInternetSecurityManager::SetSecuritySite(IInternetSecurityMgrSite*) noexcept
{
    return INET_E_DEFAULT_ACTION;
}

HRESULT
CDocHostSite::XInternetSecurityManager::GetSecuritySite(IInternetSecurityMgrSite** site) noexcept
{
    return framework::ClearOut(site, INET_E_DEFAULT_ACTION);
}

HRESULT CDocHostSite::XInternetSecurityManager::MapUrlToZone(LPCWSTR, DWORD*, DWORD) noexcept
{
    return INET_E_DEFAULT_ACTION;
}

HRESULT CDocHostSite::XInternetSecurityManager::GetSecurityId(LPCWSTR, BYTE*, DWORD*,
                                                              DWORD_PTR) noexcept
{
    return INET_E_DEFAULT_ACTION;
}

HRESULT CDocHostSite::XInternetSecurityManager::ProcessUrlAction(LPCWSTR url, DWORD action,
                                                                 BYTE* policy, DWORD policySize,
                                                                 BYTE*, DWORD, DWORD,
                                                                 DWORD) noexcept
{
    // A stranger's page, or any page over plain HTTP, gets the zone's settings, prompts
    // included: the allowance is for the tool's own pages only.
    if (!IsActiveXOrScriptAction(action) || !web::IsTrustedPageUrl(url))
        return INET_E_DEFAULT_ACTION;
    const DWORD allow = URLPOLICY_ALLOW;
    if (!policy || policySize < sizeof(allow))
        return S_FALSE;
    ::CopyMemory(policy, &allow, sizeof(allow)); // the buffer need not be aligned
    return S_OK;
}

HRESULT CDocHostSite::XInternetSecurityManager::QueryCustomPolicy(LPCWSTR, REFGUID, BYTE** policy,
                                                                  DWORD*, BYTE*, DWORD,
                                                                  DWORD) noexcept
{
    return framework::ClearOut(policy, INET_E_DEFAULT_ACTION);
}

HRESULT CDocHostSite::XInternetSecurityManager::SetZoneMapping(DWORD, LPCWSTR, DWORD) noexcept
{
    return INET_E_DEFAULT_ACTION;
}

HRESULT CDocHostSite::XInternetSecurityManager::GetZoneMappings(DWORD, IEnumString** patterns,
                                                                DWORD) noexcept
{
    return framework::ClearOut(patterns, INET_E_DEFAULT_ACTION);
}

// IServiceProvider: how the browser finds the security manager above.

HRESULT CDocHostSite::XServiceProvider::QueryService(REFGUID service, REFIID iid,
                                                     void** object) noexcept
{
    if (!object)
        return E_POINTER;
    // The security manager's service identifier has the same value as its interface's.
    const IID& manager = __uuidof(IInternetSecurityManager);
    if (service == manager && iid == manager)
        return Owner().QueryInterface(iid, object);
    *object = nullptr;
    return E_NOINTERFACE;
}

// IOleCommandTarget: script errors and the browser's message boxes.

HRESULT CDocHostSite::XOleCommandTarget::QueryStatus(const GUID*, ULONG, OLECMD*,
                                                     OLECMDTEXT*) noexcept
{
    return OLECMDERR_E_NOTSUPPORTED;
}

HRESULT CDocHostSite::XOleCommandTarget::Exec(const GUID* group, DWORD command, DWORD,
                                              VARIANT* input, VARIANT* output) noexcept
{
    if (!group || *group != kDocHostCommandGroup)
        return OLECMDERR_E_NOTSUPPORTED;
    if (command == OLECMDID_SHOWSCRIPTERROR) {
        // No script-error box, and the page's scripts keep running.
        SetBoolean(output, true);
        return S_OK;
    }
    if (command != OLECMDID_SHOWMESSAGE)
        return OLECMDERR_E_NOTSUPPORTED;
    Bstr text;
    // A message whose text cannot be read is left to the browser and shown, never dropped.
    if (!ReadMessageText(input, text))
        return OLECMDERR_E_NOTSUPPORTED;
    const bool aboutActiveX = text.View().find(kActiveXWord) != std::wstring_view::npos;
    SetBoolean(output, aboutActiveX);
    return aboutActiveX ? S_OK : OLECMDERR_E_NOTSUPPORTED;
}
