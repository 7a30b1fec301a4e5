#pragma once
// The functions and objects a page script finds besides external, document and location:
// print(text), exit(code), threadId() (the calling thread's id), setTimeout(function, ms),
// clearTimeout(id), and window. As in a browser, window is also the page's global scope: a
// property it does not have of its own is the script's global variable or function of that
// name, and a property assigned to it becomes one (so a handler assigned as
// window.OnDownloadProgress is the page's OnDownloadProgress).
#include "framework/DispatchObject.h"
#include "tools/pagescript/ScriptTimers.h"

#include <oaidl.h>
#include <wrl/client.h>

#include <string>
#include <vector>

namespace pagescript {

// What exit() returns to the script engine to stop the running script at once.
inline constexpr HRESULT kExitScript = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0xE817);

class ScriptGlobals : public framework::DispatchExObject {
public:
    // `script` is the engine's global object, which holds the script's own globals.
    ScriptGlobals(IDispatch* external, IDispatch* document, IDispatch* location,
                  IDispatch* script) noexcept;
    ScriptGlobals(const ScriptGlobals&) = delete;
    ScriptGlobals& operator=(const ScriptGlobals&) = delete;
    virtual ~ScriptGlobals();

    // exit(code) was called: the run ends with this code once the script returns.
    [[nodiscard]] bool ExitRequested() const noexcept { return m_bExitRequested; }
    [[nodiscard]] int ExitCode() const noexcept { return m_nExitCode; }
    [[nodiscard]] ScriptTimers& Timers() noexcept { return m_timers; }
    // The engine is closing: its global object goes with it, so no reference may outlive it.
    void DetachScript() noexcept { m_pScript.Reset(); }

    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) noexcept override;
    HRESULT STDMETHODCALLTYPE GetDispID(BSTR name, DWORD flags, DISPID* id) noexcept override;
    HRESULT InvokeFrom(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                       EXCEPINFO* exception, UINT* argError,
                       IServiceProvider* caller) noexcept override;

private:
    // The id under which this object offers a global of the script, which is made when
    // `create` is set and the script has none of the name; DISPID_UNKNOWN when there is none.
    [[nodiscard]] DISPID ScriptGlobalId(const wchar_t* name, bool create) noexcept;
    [[nodiscard]] HRESULT InvokeScriptGlobal(DISPID id, WORD flags, DISPPARAMS* params,
                                             VARIANT* result, EXCEPINFO* exception,
                                             IServiceProvider* caller) noexcept;
    HRESULT Print(const DISPPARAMS& params) noexcept;
    HRESULT Exit(const DISPPARAMS& params, EXCEPINFO* exception) noexcept;
    HRESULT SetTimeout(const DISPPARAMS& params, VARIANT* result) noexcept;
    HRESULT ClearTimeout(const DISPPARAMS& params) noexcept;

    Microsoft::WRL::ComPtr<IDispatch> m_pExternal;
    Microsoft::WRL::ComPtr<IDispatch> m_pDocument;
    Microsoft::WRL::ComPtr<IDispatch> m_pLocation;
    Microsoft::WRL::ComPtr<IDispatchEx> m_pScript;
    // The script's globals asked for through this object, by id - kFirstScriptGlobal.
    std::vector<std::wstring> m_scriptGlobalNames;
    bool m_bExitRequested = false;
    int m_nExitCode = 0;
    ScriptTimers m_timers;
};

} // namespace pagescript
