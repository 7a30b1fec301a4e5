#include "tools/pagescript/ScriptGlobals.h"

#include "base/Bstr.h"
#include "base/Variant.h"
#include "framework/DispatchMap.h"
#include "tools/pagescript/Console.h"

#include <iterator>

namespace pagescript {
namespace {

enum GlobalId : DISPID {
    kPrint = 1,
    kExit,
    kWindow,
    kExternal,
    kDocument,
    kSetTimeout,
    kClearTimeout,
    kThreadId,
    kLocation,
    // The script's own globals follow from here, one id per name asked for.
    kFirstScriptGlobal = 1000
};

struct GlobalName {
    const wchar_t* name;
    DISPID id;
};
// Script names are case-sensitive, as in a browser.
constexpr GlobalName kGlobals[] = {
    {L"print", kPrint},       {L"exit", kExit},         {L"window", kWindow},
    {L"external", kExternal}, {L"document", kDocument},     {L"setTimeout", kSetTimeout},
    {L"clearTimeout", kClearTimeout}, {L"threadId", kThreadId}, {L"location", kLocation},
};

HRESULT ReturnObject(IDispatch* object, VARIANT* result) noexcept
{
    if (!result)
        return S_OK;
    V_VT(result) = VT_DISPATCH;
    V_DISPATCH(result) = object;
    if (object)
        object->AddRef();
    return S_OK;
}

} // namespace

ScriptGlobals::ScriptGlobals(IDispatch* external, IDispatch* document, IDispatch* location,
                             IDispatch* script) noexcept
    : m_pExternal(external), m_pDocument(document), m_pLocation(location)
{
    if (script)
        script->QueryInterface(__uuidof(IDispatchEx),
                               reinterpret_cast<void**>(m_pScript.GetAddressOf()));
}

ScriptGlobals::~ScriptGlobals() = default;

HRESULT ScriptGlobals::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                     DISPID* ids) noexcept
{
    if (const HRESULT ready = framework::BeginNameLookup(names, count, ids); FAILED(ready))
        return ready;
    for (const GlobalName& global : kGlobals) {
        if (::lstrcmpW(names[0], global.name) == 0) {
            ids[0] = global.id;
            return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
        }
    }
    ids[0] = ScriptGlobalId(names[0], false);
    return ids[0] != DISPID_UNKNOWN && count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
}

HRESULT ScriptGlobals::GetDispID(BSTR name, DWORD flags, DISPID* id) noexcept
{
    if (!id)
        return E_POINTER;
    const HRESULT own = GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, id);
    // An assignment asks for its name to be made: it becomes a global of the script.
    if (own == DISP_E_UNKNOWNNAME && name && (flags & fdexNameEnsure))
        *id = ScriptGlobalId(name, true);
    return *id != DISPID_UNKNOWN ? S_OK : own;
}

DISPID ScriptGlobals::ScriptGlobalId(const wchar_t* name, bool create) noexcept
{
    Bstr text(name);
    DISPID inScript = DISPID_UNKNOWN;
    const DWORD flags = fdexNameCaseSensitive | (create ? fdexNameEnsure : 0);
    if (!m_pScript || !text || FAILED(m_pScript->GetDispID(text.Get(), flags, &inScript)))
        return DISPID_UNKNOWN;
    try {
        for (size_t i = 0; i < m_scriptGlobalNames.size(); ++i) {
            if (m_scriptGlobalNames[i] == name)
                return kFirstScriptGlobal + static_cast<DISPID>(i);
        }
        m_scriptGlobalNames.emplace_back(name);
        return kFirstScriptGlobal + static_cast<DISPID>(m_scriptGlobalNames.size() - 1);
    } catch (...) {
        return DISPID_UNKNOWN;
    }
}

HRESULT ScriptGlobals::InvokeScriptGlobal(DISPID id, WORD flags, DISPPARAMS* params,
                                          VARIANT* result, EXCEPINFO* exception,
                                          IServiceProvider* caller) noexcept
{
    const size_t index = static_cast<size_t>(id - kFirstScriptGlobal);
    if (!m_pScript || id < kFirstScriptGlobal || index >= m_scriptGlobalNames.size())
        return DISP_E_MEMBERNOTFOUND;
    // Asked for by name again each time: the script's own ids are its engine's business.
    Bstr name(m_scriptGlobalNames[index].c_str());
    DISPID inScript = DISPID_UNKNOWN;
    if (!name || FAILED(m_pScript->GetDispID(name.Get(), fdexNameCaseSensitive, &inScript)))
        return DISP_E_MEMBERNOTFOUND;
    return m_pScript->InvokeEx(inScript, LOCALE_USER_DEFAULT, flags, params, result, exception,
                               caller);
}

HRESULT ScriptGlobals::InvokeFrom(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                                  EXCEPINFO* exception, UINT*, IServiceProvider* caller) noexcept
{
    static const DISPPARAMS kNoArguments{};
    const DISPPARAMS& arguments = params ? *params : kNoArguments;
    switch (id) {
    case kPrint:
        return Print(arguments);
    case kExit:
        return Exit(arguments, exception);
    case kWindow:
        return ReturnObject(this, result);
    case kExternal:
        return ReturnObject(m_pExternal.Get(), result);
    case kDocument:
        return ReturnObject(m_pDocument.Get(), result);
    case kLocation:
        return ReturnObject(m_pLocation.Get(), result);
    case kSetTimeout:
        return SetTimeout(arguments, result);
    case kClearTimeout:
        return ClearTimeout(arguments);
    case kThreadId:
        // Lets a script tell on which thread the tool called it.
        if (result) {
            V_VT(result) = VT_I4;
            V_I4(result) = static_cast<LONG>(::GetCurrentThreadId());
        }
        return S_OK;
    default:
        return InvokeScriptGlobal(id, flags, params, result, exception, caller);
    }
}

HRESULT ScriptGlobals::Print(const DISPPARAMS& params) noexcept
{
    if (params.cArgs == 0) {
        WriteLine(L"");
        return S_OK;
    }
    // The first argument is the last in the array.
    Variant text;
    VARIANT& argument = params.rgvarg[params.cArgs - 1];
    if (V_VT(&argument) == VT_EMPTY || V_VT(&argument) == VT_NULL) {
        WriteLine(V_VT(&argument) == VT_EMPTY ? L"undefined" : L"null");
        return S_OK;
    }
    if (V_VT(&argument) == VT_BOOL) {
        WriteLine(V_BOOL(&argument) ? L"true" : L"false");
        return S_OK;
    }
    const HRESULT hr = ::VariantChangeType(text.Get(), &argument, 0, VT_BSTR);
    if (FAILED(hr))
        return hr;
    const BSTR value = V_BSTR(text.Get());
    WriteLine(value ? std::wstring_view(value, ::SysStringLen(value)) : std::wstring_view());
    return S_OK;
}

HRESULT ScriptGlobals::Exit(const DISPPARAMS& params, EXCEPINFO* exception) noexcept
{
    int code = 0;
    if (params.cArgs > 0) {
        Variant number;
        if (SUCCEEDED(::VariantChangeType(number.Get(), &params.rgvarg[params.cArgs - 1], 0,
                                          VT_I4)))
            code = V_I4(number.Get());
    }
    m_bExitRequested = true;
    m_nExitCode = code;
    // Failing the call unwinds the running script, so nothing after exit() runs.
    if (exception) {
        *exception = EXCEPINFO{};
        exception->scode = kExitScript;
        exception->bstrDescription = ::SysAllocString(L"exit");
    }
    return DISP_E_EXCEPTION;
}

HRESULT ScriptGlobals::SetTimeout(const DISPPARAMS& params, VARIANT* result) noexcept
{
    if (params.cArgs == 0)
        return DISP_E_PARAMNOTOPTIONAL;
    // Script order: the function first, then the delay; the array holds them last-first.
    const VARIANT& function = params.rgvarg[params.cArgs - 1];
    if (V_VT(&function) != VT_DISPATCH || !V_DISPATCH(&function))
        return DISP_E_TYPEMISMATCH;
    UINT delayMs = 0;
    if (params.cArgs > 1) {
        Variant delay;
        if (FAILED(::VariantChangeType(delay.Get(), &params.rgvarg[params.cArgs - 2], 0, VT_I4)))
            return DISP_E_TYPEMISMATCH;
        delayMs = V_I4(delay.Get()) > 0 ? static_cast<UINT>(V_I4(delay.Get())) : 0;
    }
    const UINT_PTR id = m_timers.Set(V_DISPATCH(&function), delayMs);
    if (!id)
        return E_OUTOFMEMORY;
    if (result) {
        V_VT(result) = VT_I4;
        V_I4(result) = static_cast<LONG>(id);
    }
    return S_OK;
}

HRESULT ScriptGlobals::ClearTimeout(const DISPPARAMS& params) noexcept
{
    if (params.cArgs == 0)
        return S_OK;
    Variant id;
    if (SUCCEEDED(::VariantChangeType(id.Get(), &params.rgvarg[params.cArgs - 1], 0, VT_I4)))
        m_timers.Clear(static_cast<UINT_PTR>(V_I4(id.Get())));
    return S_OK;
}

} // namespace pagescript
