#include "tools/pagescript/ScriptGlobals.h"

#include "base/Bstr.h"
#include "base/Variant.h"
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
    kThreadId
};

struct GlobalName {
    const wchar_t* name;
    DISPID id;
};
// Script names are case-sensitive, as in a browser.
constexpr GlobalName kGlobals[] = {
    {L"print", kPrint},       {L"exit", kExit},         {L"window", kWindow},
    {L"external", kExternal}, {L"document", kDocument},     {L"setTimeout", kSetTimeout},
    {L"clearTimeout", kClearTimeout}, {L"threadId", kThreadId},
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

ScriptGlobals::ScriptGlobals(IDispatch* external, IDispatch* document) noexcept
    : m_pExternal(external), m_pDocument(document)
{
}

ScriptGlobals::~ScriptGlobals() = default;

HRESULT ScriptGlobals::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                     DISPID* ids) noexcept
{
    if (!names || !ids || count == 0)
        return E_INVALIDARG;
    for (UINT i = 0; i < count; ++i)
        ids[i] = DISPID_UNKNOWN;
    for (const GlobalName& global : kGlobals) {
        if (names[0] && ::lstrcmpW(names[0], global.name) == 0) {
            ids[0] = global.id;
            return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
        }
    }
    return DISP_E_UNKNOWNNAME;
}

HRESULT ScriptGlobals::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params,
                              VARIANT* result, EXCEPINFO* exception, UINT*) noexcept
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
        return DISP_E_MEMBERNOTFOUND;
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
