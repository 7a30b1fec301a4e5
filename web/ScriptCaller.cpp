#include "web/ScriptCaller.h"

#include <array>
#include <dispex.h>
#include <docobj.h>
#include <mshtml.h>
#include <wrl/client.h>

using Microsoft::WRL::ComPtr;

namespace web {
namespace {

struct EngineSite {
    IUnknown* engine = nullptr; // the engine's identity
    IActiveScriptSite* site = nullptr;
};

// A program runs one engine at a time (pagescript); a few slots leave room.
std::array<EngineSite, 4> g_engineSites;

[[nodiscard]] ComPtr<IUnknown> IdentityOf(IUnknown* object) noexcept
{
    ComPtr<IUnknown> identity;
    if (object)
        (void)object->QueryInterface(IID_PPV_ARGS(&identity));
    return identity;
}

[[nodiscard]] ComPtr<IActiveScriptSite> RegisteredSiteOf(IActiveScript* engine) noexcept
{
    const ComPtr<IUnknown> identity = IdentityOf(engine);
    for (const EngineSite& entry : g_engineSites)
        if (identity && entry.engine == identity.Get())
            return entry.site;
    return nullptr;
}

[[nodiscard]] ComPtr<IActiveScriptSite> CallingSite(IServiceProvider* caller) noexcept
{
    ComPtr<IActiveScriptSite> site;
    // Newer engines name the calling script's site outright (SID_GetScriptSite).
    if (SUCCEEDED(caller->QueryService(IID_IActiveScriptSite, IID_PPV_ARGS(&site))) && site)
        return site;
    site.Reset();
    // Wine 8's JScript answers only with its engine.
    ComPtr<IActiveScript> engine;
    if (FAILED(caller->QueryService(kVariantConversionService, IID_PPV_ARGS(&engine))) || !engine)
        return nullptr;
    if (SUCCEEDED(engine->GetScriptSite(IID_PPV_ARGS(&site))) && site)
        return site;
    return RegisteredSiteOf(engine.Get());
}

} // namespace

Bstr CallingDocumentUrl(IServiceProvider* caller) noexcept
{
    if (!caller)
        return {};
    const ComPtr<IActiveScriptSite> site = CallingSite(caller);
    ComPtr<IServiceProvider> siteServices;
    ComPtr<IHTMLDocument2> document;
    Bstr url;
    if (!site || FAILED(site.As(&siteServices)) ||
        FAILED(siteServices->QueryService(SID_SContainerDispatch, IID_PPV_ARGS(&document))) ||
        !document || FAILED(document->get_URL(url.Put())))
        return {};
    // A NUL inside would hide the rest of the address from the origin check.
    if (url.View().find(L'\0') != std::wstring_view::npos)
        return {};
    return url;
}

ScriptEngineSite::ScriptEngineSite(IActiveScript* engine, IActiveScriptSite* site) noexcept
{
    const ComPtr<IUnknown> identity = IdentityOf(engine);
    if (!identity || !site)
        return;
    for (EngineSite& entry : g_engineSites) {
        if (!entry.engine) {
            entry = {identity.Get(), site};
            m_pEngine = identity.Get();
            return;
        }
    }
}

ScriptEngineSite::~ScriptEngineSite()
{
    for (EngineSite& entry : g_engineSites)
        if (m_pEngine && entry.engine == m_pEngine)
            entry = {};
}

} // namespace web
