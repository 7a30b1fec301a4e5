#pragma once
// Runs one page script in the system's JScript engine, with the named items a page has
// (external, document, window) and the tool's own print and exit. UI thread only.
#include "framework/DispatchObject.h"

#include <activscp.h>
#include <wrl/client.h>

#include <memory>
#include <string>

namespace pagescript {

class ScriptGlobals;

class ScriptHost : public framework::UncountedObject<IActiveScriptSite> {
public:
    explicit ScriptHost(IDispatch* external) noexcept;
    ScriptHost(const ScriptHost&) = delete;
    ScriptHost& operator=(const ScriptHost&) = delete;
    virtual ~ScriptHost();

    // Starts the engine and runs the script's top-level code; false when it cannot start.
    [[nodiscard]] bool Run(const std::wstring& source) noexcept;
    // Closes the engine; nothing of the script runs afterwards.
    void Close() noexcept;

    [[nodiscard]] bool Finished() const noexcept;
    [[nodiscard]] int ExitCode() const noexcept;

    HRESULT STDMETHODCALLTYPE GetLCID(LCID* locale) noexcept override;
    HRESULT STDMETHODCALLTYPE GetItemInfo(LPCOLESTR name, DWORD mask, IUnknown** item,
                                          ITypeInfo** info) noexcept override;
    HRESULT STDMETHODCALLTYPE GetDocVersionString(BSTR* version) noexcept override;
    HRESULT STDMETHODCALLTYPE OnScriptTerminate(const VARIANT*, const EXCEPINFO*) noexcept override;
    HRESULT STDMETHODCALLTYPE OnStateChange(SCRIPTSTATE) noexcept override;
    HRESULT STDMETHODCALLTYPE OnScriptError(IActiveScriptError* error) noexcept override;
    HRESULT STDMETHODCALLTYPE OnEnterScript() noexcept override;
    HRESULT STDMETHODCALLTYPE OnLeaveScript() noexcept override;

private:
    bool Start(const std::wstring& source);

    Microsoft::WRL::ComPtr<IDispatch> m_pExternal;
    Microsoft::WRL::ComPtr<IActiveScript> m_pEngine;
    Microsoft::WRL::ComPtr<IDispatch> m_pScriptDispatch;
    std::unique_ptr<ScriptGlobals> m_pGlobals;
    Microsoft::WRL::ComPtr<IDispatch> m_pDocumentDispatch;
    bool m_bScriptError = false;
};

} // namespace pagescript
