#include "framework/DispatchMap.h"

#include "base/Text.h"

#include <string_view>

namespace framework {
namespace {

bool HoldsNul(BSTR text) noexcept
{
    return text && std::wstring_view(text, ::SysStringLen(text)).find(L'\0') !=
                       std::wstring_view::npos;
}

} // namespace

HRESULT BeginNameLookup(LPOLESTR* names, UINT count, DISPID* ids) noexcept
{
    if (!names || !ids || count == 0)
        return E_INVALIDARG;
    for (UINT i = 0; i < count; ++i)
        ids[i] = DISPID_UNKNOWN;
    return names[0] ? S_OK : DISP_E_UNKNOWNNAME;
}

HRESULT LookupDispatchNames(std::span<const wchar_t* const> tableNames, LPOLESTR* names,
                            UINT count, DISPID* ids) noexcept
{
    if (const HRESULT ready = BeginNameLookup(names, count, ids); FAILED(ready))
        return ready;
    for (size_t i = 0; i < tableNames.size(); ++i) {
        if (text::EqualsIgnoringCase(names[0], tableNames[i])) {
            ids[0] = static_cast<DISPID>(i + 1);
            break;
        }
    }
    // Parameter names are not known to any method, so asking for them is a partial failure.
    return ids[0] != DISPID_UNKNOWN && count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
}

InvokeCheck ConvertArguments(const VARTYPE* params, unsigned paramCount, WORD flags,
                             const DISPPARAMS* dispParams, VARIANT* converted) noexcept
{
    if ((flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)) == 0)
        return {DISP_E_MEMBERNOTFOUND, kNoArgError};
    const UINT argCount = dispParams ? dispParams->cArgs : 0;
    if (dispParams && dispParams->cNamedArgs != 0)
        return {DISP_E_NONAMEDARGS, kNoArgError};
    if (argCount > paramCount)
        return {DISP_E_BADPARAMCOUNT, kNoArgError};
    if (argCount < paramCount)
        return {DISP_E_PARAMNOTOPTIONAL, kNoArgError};
    for (unsigned i = 0; i < paramCount; ++i) {
        // The platform's array holds the script's arguments last-first.
        const UINT slot = argCount - 1 - i;
        VARIANT& argument = dispParams->rgvarg[slot];
        VARIANT plain;
        ::VariantInit(&plain);
        HRESULT hr = ::VariantCopyInd(&plain, &argument);
        if (SUCCEEDED(hr))
            hr = ::VariantChangeType(&converted[i], &plain, 0, params[i]);
        ::VariantClear(&plain);
        // Handlers take text up to its first NUL: text with one inside would reach them cut
        // short (a path, a value), so it is refused as text of the wrong kind.
        if (SUCCEEDED(hr) && params[i] == VT_BSTR && HoldsNul(V_BSTR(&converted[i])))
            hr = DISP_E_TYPEMISMATCH;
        if (FAILED(hr))
            return {hr, slot};
    }
    return {S_OK, kNoArgError};
}

void FillException(EXCEPINFO* exception, HRESULT code, const wchar_t* description) noexcept
{
    if (!exception)
        return;
    *exception = EXCEPINFO{};
    exception->scode = code;
    exception->bstrSource = ::SysAllocString(L"window.external");
    exception->bstrDescription = ::SysAllocString(description);
}

} // namespace framework
