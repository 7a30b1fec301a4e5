#pragma once
// The functions and objects a page script finds besides external and document: print(text),
// exit(code), threadId() (the calling thread's id), setTimeout(function, ms), clearTimeout(id),
// and window with its external and document properties.
#include "framework/DispatchObject.h"
#include "tools/pagescript/ScriptTimers.h"

#include <oaidl.h>
#include <wrl/client.h>

namespace pagescript {

class ScriptGlobals : public framework::DispatchObject<> {
public:
    ScriptGlobals(IDispatch* external, IDispatch* document) noexcept;
    ScriptGlobals(const ScriptGlobals&) = delete;
    ScriptGlobals& operator=(const ScriptGlobals&) = delete;
    virtual ~ScriptGlobals();

    // exit(code) was called: the run ends with this code once the script returns.
    [[nodiscard]] bool ExitRequested() const noexcept { return m_bExitRequested; }
    [[nodiscard]] int ExitCode() const noexcept { return m_nExitCode; }
    [[nodiscard]] ScriptTimers& Timers() noexcept { return m_timers; }

    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) noexcept override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception,
                                     UINT* argError) noexcept override;

private:
    HRESULT Print(const DISPPARAMS& params) noexcept;
    HRESULT Exit(const DISPPARAMS& params, EXCEPINFO* exception) noexcept;
    HRESULT SetTimeout(const DISPPARAMS& params, VARIANT* result) noexcept;
    HRESULT ClearTimeout(const DISPPARAMS& params) noexcept;

    Microsoft::WRL::ComPtr<IDispatch> m_pExternal;
    Microsoft::WRL::ComPtr<IDispatch> m_pDocument;
    bool m_bExitRequested = false;
    int m_nExitCode = 0;
    ScriptTimers m_timers;
};

} // namespace pagescript
