#pragma once
// window.external as pagescript's script sees it: the bridge of the hosting control, called
// exactly as the page calls it (the engine's caller passed on, so the bridge checks the same
// document), and after each call what the hosting window was asked to do is reported (see
// PageHost). ShowPageWindow, which asks nothing of anyone, is reported here. UI thread only.
#include "framework/DispatchObject.h"

#include <wrl/client.h>

namespace pagescript {

class PageHost;

class HostedExternal : public framework::DispatchExObject {
public:
    HostedExternal(IDispatch* bridge, PageHost& host) noexcept;
    HostedExternal(const HostedExternal&) = delete;
    HostedExternal& operator=(const HostedExternal&) = delete;
    virtual ~HostedExternal() = default;

    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) noexcept override;
    HRESULT STDMETHODCALLTYPE GetDispID(BSTR name, DWORD flags, DISPID* id) noexcept override;
    HRESULT InvokeFrom(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                       EXCEPINFO* exception, UINT* argError,
                       IServiceProvider* caller) noexcept override;

private:
    Microsoft::WRL::ComPtr<IDispatch> m_pBridge;
    Microsoft::WRL::ComPtr<IDispatchEx> m_pBridgeEx;
    PageHost& m_host;
    DISPID m_showPageWindowId = DISPID_UNKNOWN;
};

} // namespace pagescript
