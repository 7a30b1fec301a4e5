#pragma once
// Who calls the bridge: the document whose script makes a call, traced through the service
// provider that the script engine passes with it (IDispatchEx::InvokeEx). In a browser every
// frame's window has its own engine and script site, so the site tells the frame. UI thread only.
#include "base/Bstr.h"

#include <activscp.h>
#include <servprov.h>

namespace web {

// SID_VariantConversion, under which a script engine names itself to the objects it calls
// (mingw-w64's uuid library lacks it; dispex.h declares it).
inline constexpr GUID kVariantConversionService = {
    0x1f101481, 0xbccd, 0x11d0, {0x93, 0x36, 0x00, 0xa0, 0xc9, 0x0d, 0xca, 0xa9}};

// The address of the calling script's document; empty when the caller cannot be traced to one.
// The calling script's site comes from the caller (SID_GetScriptSite), or from the calling
// engine (SID_VariantConversion), which names its site itself or through a registration below;
// the site's container (SID_SContainerDispatch) is the document.
[[nodiscard]] Bstr CallingDocumentUrl(IServiceProvider* caller) noexcept;

// Names the site of a script engine that the program runs itself, while this object lives.
// Wine 8's JScript names its engine to the objects it calls, but asked for that engine's site
// it answers E_NOTIMPL; a browser's engines need no registration. Neither pointer is held: the
// host keeps both alive for the registration's lifetime. With no room left (a few engines at
// once) nothing is registered, and the engine's calls are refused.
class ScriptEngineSite {
public:
    ScriptEngineSite(IActiveScript* engine, IActiveScriptSite* site) noexcept;
    ScriptEngineSite(const ScriptEngineSite&) = delete;
    ScriptEngineSite& operator=(const ScriptEngineSite&) = delete;
    ~ScriptEngineSite();

private:
    IUnknown* m_pEngine = nullptr;
};

} // namespace web
