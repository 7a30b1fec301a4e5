#pragma once
// A static dispatch table: the automation methods a class offers to scripts, each with its name,
// parameter types and result type. Lookup is by name without regard to case; the dispatch
// identifier of a method is its 1-based position, so the table's order is its interface.
//
//   const DispatchEntry<CHtmlCtrl> kTable[] = {
//       DispMethod<&CHtmlCtrl::GetVersion, VT_I4>(L"GetVersion"),
//       DispMethod<&CHtmlCtrl::RunExe, VT_BOOL>(L"RunExe"),
//   };
//
// Handlers are ordinary member functions taking long, const wchar_t* or IDispatch* and
// returning long (VT_I4 or VT_BOOL), BSTR (handed over to the caller) or void. Parameter types
// are read off the handler's signature, so table and handler cannot disagree.
#include "base/Win.h"

#include <oleauto.h>
#include <span>
#include <tuple>
#include <type_traits>
#include <utility>

namespace framework {

inline constexpr unsigned kMaxDispatchParams = 8;

template <class T>
struct DispatchEntry {
    const wchar_t* name;
    const VARTYPE* params; // one type per parameter, in the order the script writes them
    unsigned paramCount;
    VARTYPE result;        // VT_EMPTY, VT_I4, VT_BOOL or VT_BSTR
    // Calls the handler with arguments already converted to the parameter types (script order)
    // and stores its wrapped result.
    void (*invoke)(T& target, VARIANT* args, VARIANT* result);
};

namespace detail {

template <class A>
constexpr VARTYPE VarTypeOf() noexcept
{
    if constexpr (std::is_same_v<A, long>)
        return VT_I4;
    else if constexpr (std::is_same_v<A, const wchar_t*>)
        return VT_BSTR;
    else if constexpr (std::is_same_v<A, IDispatch*>)
        return VT_DISPATCH;
    else
        static_assert(sizeof(A) == 0, "a script method takes long, const wchar_t* or IDispatch*");
}

template <class A>
A ArgumentOf(VARIANT& v) noexcept
{
    if constexpr (std::is_same_v<A, long>)
        return V_I4(&v);
    else if constexpr (std::is_same_v<A, const wchar_t*>)
        return V_BSTR(&v) ? V_BSTR(&v) : L""; // a null string is the empty string
    else
        return V_DISPATCH(&v);
}

template <class M>
struct MethodTraits;
template <class T, class R, class... A>
struct MethodTraits<R (T::*)(A...)> {
    using Class = T;
    using Result = R;
    static constexpr VARTYPE kParams[sizeof...(A) + 1] = {VarTypeOf<A>()..., VT_EMPTY};
    static constexpr unsigned kCount = sizeof...(A);
    template <auto Method, size_t... I>
    static R Call(T& target, VARIANT* args, std::index_sequence<I...>)
    {
        return (target.*Method)(ArgumentOf<A>(args[I])...);
    }
};
template <class T, class R, class... A>
struct MethodTraits<R (T::*)(A...) noexcept> : MethodTraits<R (T::*)(A...)> {
    template <auto Method, size_t... I>
    static R Call(T& target, VARIANT* args, std::index_sequence<I...>)
    {
        return (target.*Method)(ArgumentOf<A>(args[I])...);
    }
};

template <class R, VARTYPE ResultType>
constexpr bool ResultFits() noexcept
{
    if constexpr (ResultType == VT_EMPTY)
        return std::is_void_v<R>;
    else if constexpr (ResultType == VT_I4 || ResultType == VT_BOOL)
        return std::is_same_v<R, long>;
    else if constexpr (ResultType == VT_BSTR)
        return std::is_same_v<R, BSTR>;
    else
        return false;
}

} // namespace detail

template <auto Method, VARTYPE ResultType>
constexpr auto DispMethod(const wchar_t* name) noexcept
{
    using Traits = detail::MethodTraits<decltype(Method)>;
    using T = typename Traits::Class;
    using R = typename Traits::Result;
    static_assert(detail::ResultFits<R, ResultType>(), "the result type does not fit the handler");
    static_assert(Traits::kCount <= kMaxDispatchParams, "too many parameters");
    return DispatchEntry<T>{
        name, Traits::kParams, Traits::kCount, ResultType,
        [](T& target, VARIANT* args, VARIANT* result) {
            using Seq = std::make_index_sequence<Traits::kCount>;
            if constexpr (std::is_void_v<R>) {
                Traits::template Call<Method>(target, args, Seq{});
            } else if constexpr (ResultType == VT_BSTR) {
                V_VT(result) = VT_BSTR;
                V_BSTR(result) = Traits::template Call<Method>(target, args, Seq{});
            } else if constexpr (ResultType == VT_BOOL) {
                const long value = Traits::template Call<Method>(target, args, Seq{});
                V_VT(result) = VT_BOOL;
                V_BOOL(result) = value ? VARIANT_TRUE : VARIANT_FALSE;
            } else {
                const long value = Traits::template Call<Method>(target, args, Seq{});
                V_VT(result) = VT_I4;
                V_I4(result) = value;
            }
        }};
}

// The start of every IDispatch::GetIDsOfNames: marks each id unknown; S_OK when there is a first
// name to look up, else the failure to return.
[[nodiscard]] HRESULT BeginNameLookup(LPOLESTR* names, UINT count, DISPID* ids) noexcept;

// IDispatch::GetIDsOfNames over a table: the first name resolves, any further (parameter)
// names get DISPID_UNKNOWN.
HRESULT LookupDispatchNames(std::span<const wchar_t* const> tableNames, LPOLESTR* names,
                            UINT count, DISPID* ids) noexcept;

// IDispatch::Invoke's checks and conversions, shared by every table: the entry to call is
// chosen by the caller; this converts the arguments into `converted` (script order).
inline constexpr UINT kNoArgError = 0xFFFFFFFF;
struct InvokeCheck {
    HRESULT hr;
    UINT argError; // the failing argument's slot in DISPPARAMS::rgvarg, or kNoArgError
};
InvokeCheck ConvertArguments(const VARTYPE* params, unsigned paramCount, WORD flags,
                             const DISPPARAMS* dispParams, VARIANT* converted) noexcept;
void FillException(EXCEPINFO* exception, HRESULT code, const wchar_t* description) noexcept;

template <class T, size_t N>
class DispatchTable {
public:
    constexpr explicit DispatchTable(const DispatchEntry<T> (&entries)[N]) noexcept
        : m_entries(entries)
    {
        for (size_t i = 0; i < N; ++i)
            m_names[i] = entries[i].name;
    }

    // The entries in table order: entry i has the dispatch identifier i + 1.
    [[nodiscard]] std::span<const DispatchEntry<T>, N> Entries() const noexcept
    {
        return std::span<const DispatchEntry<T>, N>(m_entries, N);
    }

    [[nodiscard]] HRESULT GetIDsOfNames(LPOLESTR* names, UINT count, DISPID* ids) const noexcept
    {
        return LookupDispatchNames(std::span<const wchar_t* const>(m_names, N), names, count, ids);
    }

    HRESULT Invoke(T& target, DISPID id, WORD flags, DISPPARAMS* dispParams, VARIANT* result,
                   EXCEPINFO* exception, UINT* argError) const noexcept
    {
        if (id < 1 || static_cast<size_t>(id) > N)
            return DISP_E_MEMBERNOTFOUND;
        const DispatchEntry<T>& entry = m_entries[id - 1];
        VARIANT converted[kMaxDispatchParams];
        for (VARIANT& v : converted)
            ::VariantInit(&v);
        const InvokeCheck check =
            ConvertArguments(entry.params, entry.paramCount, flags, dispParams, converted);
        HRESULT hr = check.hr;
        if (FAILED(hr)) {
            if (argError && check.argError != kNoArgError)
                *argError = check.argError;
        } else {
            VARIANT local;
            ::VariantInit(&local);
            VARIANT* out = result ? result : &local;
            ::VariantInit(out);
            try {
                entry.invoke(target, converted, out);
            } catch (...) {
                ::VariantClear(out);
                FillException(exception, E_OUTOFMEMORY, L"The method could not complete.");
                hr = DISP_E_EXCEPTION;
            }
            ::VariantClear(&local);
        }
        for (VARIANT& v : converted)
            ::VariantClear(&v);
        return hr;
    }

private:
    const DispatchEntry<T>* m_entries;
    const wchar_t* m_names[N] = {};
};

} // namespace framework
