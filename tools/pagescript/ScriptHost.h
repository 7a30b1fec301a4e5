#pragma once
// Runs one page script in the system's JScript engine, with the named items a page has
// (external, document, window, location) and the tool's own print and exit. As a browser's
// script site does, it names the script's document to whom asks (SID_SContainerDispatch): the
// bridge checks that document's address at every call. An error in the script's top-level code
// ends the run; one in a function called later (a timer, OnDownloadProgress) is reported and
// the run goes on, as a browser goes on with the page. UI thread only, but for Interrupt.
#include "base/Lock.h"
#include "framework/DispatchObject.h"
#include "framework/NestedInterface.h"
#include "web/ScriptCaller.h"

#include <activscp.h>
#include <servprov.h>
#include <wrl/client.h>

#include <atomic>
#include <memory>
#include <optional>
#include <string>

namespace pagescript {

class PageLocation;
class ScriptGlobals;

class ScriptHost : public framework::UncountedObject<IActiveScriptSite> {
public:
    // `documentUrl` is the address of the script's document: the calling page as the bridge
    // sees it.
    ScriptHost(IDispatch* external, std::wstring documentUrl) noexcept;
    ScriptHost(const ScriptHost&) = delete;
    ScriptHost& operator=(const ScriptHost&) = delete;
    virtual ~ScriptHost();

    // Starts the engine and runs the script's top-level code; false when it cannot start.
    [[nodiscard]] bool Run(const std::wstring& source) noexcept;
    // Stops the running script at its next statement, from any thread, and every script
    // afterwards; true when the engine took the request. `self` is the host.
    static bool Interrupt(void* self) noexcept;
    // Closes the engine; nothing of the script runs afterwards.
    void Close() noexcept;

    [[nodiscard]] bool Finished() const noexcept;
    [[nodiscard]] int ExitCode() const noexcept;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) noexcept override;
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

    class XServiceProvider : public framework::NestedInterface<IServiceProvider, ScriptHost> {
    public:
        using NestedInterface::NestedInterface;
        HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID iid,
                                               void** object) noexcept override;
    };

    bool Start(const std::wstring& source);
    [[nodiscard]] bool AddNamedItems() noexcept;

    Microsoft::WRL::ComPtr<IDispatch> m_pExternal;
    Microsoft::WRL::ComPtr<IActiveScript> m_pEngine;
    Microsoft::WRL::ComPtr<IDispatch> m_pScriptDispatch;
    // Before the globals, which hold a reference to it.
    std::unique_ptr<PageLocation> m_pLocation;
    std::unique_ptr<ScriptGlobals> m_pGlobals;
    Microsoft::WRL::ComPtr<IDispatch> m_pDocumentDispatch;
    bool m_bTopLevelFailed = false;
    std::atomic<bool> m_bInterrupted{false};
    // Held by Interrupt and Close: the engine may go while the clock's thread reaches for it.
    Lock m_engineLock;
    std::wstring m_strDocumentUrl;
    XServiceProvider m_xServiceProvider{*this};
    // Names this site to the bridge for the engine, which cannot under Wine 8.
    std::optional<web::ScriptEngineSite> m_engineSite;
};

} // namespace pagescript
