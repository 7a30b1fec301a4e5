#include "web/HtmlCtrl.h"

#include "web/BridgeTable.h"

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

HRESULT CHtmlCtrl::Navigate(const wchar_t* url) noexcept
{
    try {
        m_strLocation = url ? url : L"";
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

std::wstring CHtmlCtrl::GetLocationURL() const noexcept
{
    try {
        return m_strLocation;
    } catch (...) {
        return {};
    }
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
