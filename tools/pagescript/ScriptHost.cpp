#include "tools/pagescript/ScriptHost.h"

#include "base/Bstr.h"
#include "base/ExceptionInfo.h"
#include "tools/pagescript/Console.h"
#include "tools/pagescript/PageDocument.h"
#include "tools/pagescript/PageLocation.h"
#include "tools/pagescript/ScriptGlobals.h"

#include <docobj.h>
#include <string>
#include <utility>

using Microsoft::WRL::ComPtr;

// mingw-w64's uuid library lacks the 64-bit parse interface's identifier.
extern "C" const IID IID_IActiveScriptParse64 = {
    0xc7ef7658, 0xe1ee, 0x480e, {0x97, 0xea, 0xd5, 0x2c, 0xb4, 0xd7, 0x6d, 0x17}};

namespace pagescript {
namespace {

constexpr wchar_t kGlobalsItem[] = L"pagescript";

} // namespace

ScriptHost::ScriptHost(IDispatch* external, std::wstring documentUrl) noexcept
    : m_pExternal(external), m_strDocumentUrl(std::move(documentUrl))
{
}

ScriptHost::~ScriptHost() { Close(); }

bool ScriptHost::Run(const std::wstring& source) noexcept
{
    try {
        return Start(source);
    } catch (...) {
        return false;
    }
}

bool ScriptHost::Start(const std::wstring& source)
{
    CLSID jscript;
    if (FAILED(::CLSIDFromProgID(L"JScript", &jscript)))
        return false;
    {
        LockGuard lock(m_engineLock);
        if (FAILED(::CoCreateInstance(jscript, nullptr, CLSCTX_INPROC_SERVER, IID_IActiveScript,
                                      reinterpret_cast<void**>(m_pEngine.GetAddressOf()))))
            return false;
    }
    ComPtr<IActiveScriptParse64> parser;
    if (FAILED(m_pEngine->QueryInterface(IID_IActiveScriptParse64,
                                         reinterpret_cast<void**>(parser.GetAddressOf()))) ||
        FAILED(m_pEngine->SetScriptSite(this)) || FAILED(parser->InitNew()))
        return false;
    // The document's script object is the engine's global scope, as in a browser.
    m_pEngine->GetScriptDispatch(nullptr, m_pScriptDispatch.ReleaseAndGetAddressOf());
    // Created with the one reference kept here (MinGW's ComPtr::Attach would add another).
    *m_pDocumentDispatch.ReleaseAndGetAddressOf() =
        PageDocument::Create(m_pScriptDispatch.Get(), m_strDocumentUrl);
    m_pLocation = std::make_unique<PageLocation>(m_strDocumentUrl);
    m_engineSite.emplace(m_pEngine.Get(), this);
    m_pGlobals = std::make_unique<ScriptGlobals>(m_pExternal.Get(), m_pDocumentDispatch.Get(),
                                                 m_pLocation.get(), m_pScriptDispatch.Get());
    if (!AddNamedItems() || FAILED(m_pEngine->SetScriptState(SCRIPTSTATE_CONNECTED)))
        return false;
    ExceptionInfo exception;
    // The engine has reported an error itself, through OnScriptError.
    const HRESULT hr = parser->ParseScriptText(source.c_str(), nullptr, nullptr, nullptr, 0, 0,
                                               SCRIPTTEXT_ISVISIBLE, nullptr, &exception);
    m_bTopLevelFailed = FAILED(hr) && !m_pGlobals->ExitRequested() && !m_bInterrupted;
    return true;
}

bool ScriptHost::AddNamedItems() noexcept
{
    const DWORD visible = SCRIPTITEM_ISVISIBLE;
    for (const wchar_t* item : {L"external", L"document", L"window", L"location"}) {
        if (FAILED(m_pEngine->AddNamedItem(item, visible)))
            return false;
    }
    // Functions such as print() must come as global members: Wine's engine does not call a
    // named item itself.
    return SUCCEEDED(m_pEngine->AddNamedItem(kGlobalsItem, visible | SCRIPTITEM_GLOBALMEMBERS));
}

bool ScriptHost::Interrupt(void* self) noexcept
{
    auto& host = *static_cast<ScriptHost*>(self);
    host.m_bInterrupted = true;
    LockGuard lock(host.m_engineLock);
    if (!host.m_pEngine)
        return true; // nothing runs any more
    EXCEPINFO reason{};
    return SUCCEEDED(host.m_pEngine->InterruptScriptThread(SCRIPTTHREADID_ALL, &reason, 0));
}

void ScriptHost::Close() noexcept
{
    // Pending timers hold script functions, and window the script's globals: they go before
    // the engine does.
    if (m_pGlobals) {
        m_pGlobals->Timers().ClearAll();
        m_pGlobals->DetachScript();
    }
    if (m_pEngine) {
        LockGuard lock(m_engineLock);
        m_pEngine->Close();
        m_engineSite.reset(); // before the engine can go and its address be reused
        m_pEngine.Reset();
    }
    m_pScriptDispatch.Reset();
    if (m_pDocumentDispatch) {
        PageDocument::Detach(m_pDocumentDispatch.Get());
        m_pDocumentDispatch.Reset();
    }
}

bool ScriptHost::Finished() const noexcept
{
    return m_bTopLevelFailed || (m_pGlobals && m_pGlobals->ExitRequested());
}

int ScriptHost::ExitCode() const noexcept
{
    if (m_pGlobals && m_pGlobals->ExitRequested())
        return m_pGlobals->ExitCode();
    return m_bTopLevelFailed ? 1 : 0;
}

HRESULT ScriptHost::QueryInterface(REFIID iid, void** object) noexcept
{
    if (object && iid == IID_IServiceProvider) {
        *object = static_cast<IServiceProvider*>(&m_xServiceProvider);
        AddRef();
        return S_OK;
    }
    return UncountedObject::QueryInterface(iid, object);
}

HRESULT ScriptHost::XServiceProvider::QueryService(REFGUID service, REFIID iid,
                                                   void** object) noexcept
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    IDispatch* document = Owner().m_pDocumentDispatch.Get();
    if (service != SID_SContainerDispatch || !document)
        return E_NOINTERFACE;
    return document->QueryInterface(iid, object);
}

HRESULT ScriptHost::GetLCID(LCID* locale) noexcept
{
    if (locale)
        *locale = LOCALE_USER_DEFAULT;
    return S_OK;
}

HRESULT ScriptHost::GetItemInfo(LPCOLESTR name, DWORD mask, IUnknown** item,
                                ITypeInfo** info) noexcept
{
    if (info)
        *info = nullptr;
    if (!(mask & SCRIPTINFO_IUNKNOWN) || !item)
        return (mask & SCRIPTINFO_ITYPEINFO) ? TYPE_E_ELEMENTNOTFOUND : E_INVALIDARG;
    *item = nullptr;
    IDispatch* object = nullptr;
    if (::lstrcmpW(name, L"external") == 0)
        object = m_pExternal.Get();
    else if (::lstrcmpW(name, L"document") == 0)
        object = m_pDocumentDispatch.Get();
    else if (::lstrcmpW(name, L"window") == 0 || ::lstrcmpW(name, kGlobalsItem) == 0)
        object = m_pGlobals.get();
    else if (::lstrcmpW(name, L"location") == 0)
        object = m_pLocation.get();
    if (!object)
        return TYPE_E_ELEMENTNOTFOUND;
    object->AddRef();
    *item = object;
    return S_OK;
}

HRESULT ScriptHost::GetDocVersionString(BSTR* version) noexcept
{
    if (version)
        *version = nullptr;
    return E_NOTIMPL;
}

HRESULT ScriptHost::OnScriptTerminate(const VARIANT*, const EXCEPINFO*) noexcept { return S_OK; }

HRESULT ScriptHost::OnStateChange(SCRIPTSTATE) noexcept { return S_OK; }

HRESULT ScriptHost::OnScriptError(IActiveScriptError* error) noexcept
{
    ExceptionInfo exception;
    DWORD context = 0;
    ULONG line = 0;
    LONG column = 0;
    if (error) {
        error->GetExceptionInfo(&exception);
        error->GetSourcePosition(&context, &line, &column);
    }
    Bstr description;
    description.Reset(std::exchange(exception.bstrDescription, nullptr));
    // exit() unwinding the script is no error, nor is the time limit stopping it.
    if ((m_pGlobals && m_pGlobals->ExitRequested()) || m_bInterrupted)
        return S_OK;
    HRESULT code = exception.scode;
    if (code == 0)
        code = static_cast<HRESULT>(exception.wCode);
    // The text below with the largest line number and code, and its NUL.
    constexpr size_t kHeaderCapacity = 96;
    wchar_t header[kHeaderCapacity];
    ::wsprintfW(header, L"pagescript: script error on line %lu (0x%08lX): ", line + 1,
                static_cast<unsigned long>(code));
    std::wstring message = header;
    message.append(description.View().empty() ? std::wstring_view(L"(no description)")
                                              : description.View());
    WriteErrorLine(message);
    return S_OK;
}

HRESULT ScriptHost::OnEnterScript() noexcept { return S_OK; }

HRESULT ScriptHost::OnLeaveScript() noexcept { return S_OK; }

} // namespace pagescript
