#include "tools/pagescript/HostedExternal.h"

#include "tools/pagescript/Console.h"
#include "tools/pagescript/PageHost.h"

namespace pagescript {

HostedExternal::HostedExternal(IDispatch* bridge, PageHost& host) noexcept
    : m_pBridge(bridge), m_host(host)
{
    if (!bridge)
        return;
    bridge->QueryInterface(__uuidof(IDispatchEx),
                           reinterpret_cast<void**>(m_pBridgeEx.GetAddressOf()));
    wchar_t name[] = L"ShowPageWindow";
    LPOLESTR names[] = {name};
    if (FAILED(bridge->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &m_showPageWindowId)))
        m_showPageWindowId = DISPID_UNKNOWN;
}

HRESULT HostedExternal::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                      DISPID* ids) noexcept
{
    if (!m_pBridge)
        return DISP_E_UNKNOWNNAME;
    return m_pBridge->GetIDsOfNames(iid, names, count, locale, ids);
}

HRESULT HostedExternal::GetDispID(BSTR name, DWORD flags, DISPID* id) noexcept
{
    if (m_pBridgeEx)
        return m_pBridgeEx->GetDispID(name, flags, id);
    return DispatchExObject::GetDispID(name, flags, id);
}

HRESULT HostedExternal::InvokeFrom(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* exception, UINT* argError,
                                   IServiceProvider* caller) noexcept
{
    if (!m_pBridge)
        return DISP_E_MEMBERNOTFOUND;
    const HRESULT hr = caller && m_pBridgeEx
                           ? m_pBridgeEx->InvokeEx(id, LOCALE_USER_DEFAULT, flags, params, result,
                                                   exception, caller)
                           : m_pBridge->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, params,
                                               result, exception, argError);
    m_host.HandlePostedRequests();
    if (SUCCEEDED(hr) && id == m_showPageWindowId)
        WriteLine(L"HOST ShowPageWindow: nothing happens");
    return hr;
}

} // namespace pagescript
