#include "web/HtmlCtrl.h"

#include "web/BridgeTable.h"

const framework::MessageEntry<CHtmlCtrl> CHtmlCtrl::s_messageMap[] = {
    {WM_DESTROY, 0, &CHtmlCtrl::OnDestroy},
    {WM_MOUSEACTIVATE, 0, &CHtmlCtrl::OnMouseActivate},
};

// The dispatch part is a member, so automation is on from construction.
CHtmlCtrl::CHtmlCtrl() noexcept : m_xDispatch(*this) {}

CHtmlCtrl::~CHtmlCtrl() = default;

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

bool CHtmlCtrl::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) noexcept
{
    if (framework::RouteMessage(*this, s_messageMap, message, wParam, lParam, result))
        return true;
    return CHtmlView::OnWndMsg(message, wParam, lParam, result);
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

IDispatch* CHtmlCtrl::GetIDispatch(bool addRef) noexcept
{
    if (addRef)
        m_xDispatch.AddRef();
    return &m_xDispatch;
}

HRESULT CHtmlCtrl::XDispatch::QueryInterface(REFIID iid, void** object) noexcept
{
    if (!object)
        return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch) {
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG CHtmlCtrl::XDispatch::AddRef() noexcept
{
    return ::InterlockedIncrement(&Outer().m_dwRef);
}

ULONG CHtmlCtrl::XDispatch::Release() noexcept
{
    return ::InterlockedDecrement(&Outer().m_dwRef);
}

HRESULT CHtmlCtrl::XDispatch::GetTypeInfoCount(UINT* count) noexcept
{
    if (!count)
        return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT CHtmlCtrl::XDispatch::GetTypeInfo(UINT, LCID, ITypeInfo** info) noexcept
{
    if (info)
        *info = nullptr;
    return E_NOTIMPL;
}

HRESULT CHtmlCtrl::XDispatch::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) noexcept
{
    return GetBridgeTable().GetIDsOfNames(names, count, ids);
}

HRESULT CHtmlCtrl::XDispatch::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception,
                                     UINT* argError) noexcept
{
    return GetBridgeTable().Invoke(Outer(), id, flags, params, result, exception, argError);
}
