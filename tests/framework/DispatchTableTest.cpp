// A static dispatch table: lookup by name, and every way a script's call can go right or wrong.
#include "framework/DispatchMap.h"

#include "base/Variant.h"
#include "tests/support/Files.h"

#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

using framework::DispMethod;

namespace {

// A target with one method of each kind, counting the calls that reached it.
struct Target {
    long Add(long a, long b) noexcept { return ++calls, a + b; }
    BSTR Echo(const wchar_t* text) noexcept { return ++calls, ::SysAllocString(text); }
    long IsEmpty(const wchar_t* text) noexcept { return ++calls, *text == L'\0'; }
    void Touch() noexcept { ++calls; }
    long Throws() { throw std::bad_alloc(); }
    long TakesObject(IDispatch* object) noexcept { return ++calls, object != nullptr; }
    int calls = 0;
};

constexpr framework::DispatchEntry<Target> kEntries[] = {
    DispMethod<&Target::Add, VT_I4>(L"Add"),
    DispMethod<&Target::Echo, VT_BSTR>(L"Echo"),
    DispMethod<&Target::IsEmpty, VT_BOOL>(L"IsEmpty"),
    DispMethod<&Target::Touch, VT_EMPTY>(L"Touch"),
    DispMethod<&Target::Throws, VT_I4>(L"Throws"),
    DispMethod<&Target::TakesObject, VT_I4>(L"TakesObject"),
};
const framework::DispatchTable<Target, 6> kTable(kEntries);

VARIANT Number(long n)
{
    VARIANT v;
    V_VT(&v) = VT_I4;
    V_I4(&v) = n;
    return v;
}

VARIANT Text(const wchar_t* text)
{
    VARIANT v;
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = ::SysAllocString(text);
    return v;
}

// A result as the test writes it: 42, "text", true, or its type when it is none of these.
std::string Shown(const VARIANT& v)
{
    if (V_VT(&v) == VT_BSTR)
        return '"' + test::Utf8(V_BSTR(&v)) + '"';
    if (V_VT(&v) == VT_BOOL)
        return V_BOOL(&v) == VARIANT_TRUE ? "true" : "false";
    return V_VT(&v) == VT_I4 ? std::to_string(V_I4(&v)) : "vt " + std::to_string(V_VT(&v));
}

} // namespace

TEST(DispatchTable, NamesMatchWithoutCaseAndIdsArePositions)
{
    const struct {
        std::vector<const wchar_t*> names; // the method's, then its parameters'
        HRESULT hr;
        std::vector<DISPID> ids;
    } cases[] = {
        {{L"Add"}, S_OK, {1}},
        {{L"ECHO"}, S_OK, {2}},
        {{L"takesobject"}, S_OK, {6}},
        {{L"Missing"}, DISP_E_UNKNOWNNAME, {DISPID_UNKNOWN}},
        {{L"add", L"a"}, DISP_E_UNKNOWNNAME, {1, DISPID_UNKNOWN}},
    };
    for (const auto& c : cases) {
        std::vector<DISPID> ids(c.names.size(), 0);
        EXPECT_EQ(kTable.GetIDsOfNames(const_cast<LPOLESTR*>(c.names.data()),
                                       static_cast<UINT>(c.names.size()), ids.data()),
                  c.hr)
            << test::Utf8(c.names[0]);
        EXPECT_EQ(ids, c.ids) << test::Utf8(c.names[0]);
    }
}

TEST(DispatchTable, CallsConvertTheArgumentsOrNameTheOneThatFails)
{
    constexpr UINT kNone = 99;
    const struct {
        const char* name;
        DISPID id;
        std::vector<VARIANT> args; // in script order
        bool named;
        HRESULT hr;
        UINT argError; // the failing argument's slot, last-first as the array holds them
        std::string result;
        int calls;
    } cases[] = {
        {"text to number", 1, {Text(L"40"), Number(2)}, false, S_OK, kNone, "42", 1},
        {"number to text", 2, {Number(5)}, false, S_OK, kNone, "\"5\"", 1},
        {"a null string is empty", 3, {Text(nullptr)}, false, S_OK, kNone, "true", 1},
        {"false", 3, {Text(L"a")}, false, S_OK, kNone, "false", 1},
        {"no result", 4, {}, false, S_OK, kNone, "vt 0", 1},
        {"no number", 1, {Number(1), Text(L"x")}, false, DISP_E_TYPEMISMATCH, 0, "vt 0", 0},
        {"no object", 6, {Number(3)}, false, DISP_E_TYPEMISMATCH, 0, "vt 0", 0},
        {"one too many", 4, {Number(1)}, false, DISP_E_BADPARAMCOUNT, kNone, "vt 0", 0},
        {"one too few", 1, {Number(1)}, false, DISP_E_PARAMNOTOPTIONAL, kNone, "vt 0", 0},
        {"named arguments", 2, {Text(L"a")}, true, DISP_E_NONAMEDARGS, kNone, "vt 0", 0},
        {"id 0", 0, {}, false, DISP_E_MEMBERNOTFOUND, kNone, "vt 0", 0},
        {"id past the end", 7, {}, false, DISP_E_MEMBERNOTFOUND, kNone, "vt 0", 0},
        {"an escaping exception", 5, {}, false, DISP_E_EXCEPTION, kNone, "vt 0", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<VARIANT> args(c.args.rbegin(), c.args.rend());
        DISPID named = 0;
        DISPPARAMS params{args.data(), c.named ? &named : nullptr, static_cast<UINT>(args.size()),
                          c.named ? 1u : 0u};
        Target target;
        Variant result;
        EXCEPINFO exception{};
        UINT argError = kNone;
        EXPECT_EQ(kTable.Invoke(target, c.id, DISPATCH_METHOD, &params, result.Put(), &exception,
                                &argError),
                  c.hr);
        EXPECT_EQ(argError, c.argError);
        EXPECT_EQ(Shown(*result.Get()), c.result);
        EXPECT_EQ(target.calls, c.calls);
        EXPECT_EQ(exception.scode, c.hr == DISP_E_EXCEPTION ? E_OUTOFMEMORY : S_OK);
        EXPECT_EQ(exception.bstrDescription != nullptr, c.hr == DISP_E_EXCEPTION);
        ::SysFreeString(exception.bstrDescription);
        ::SysFreeString(exception.bstrSource);
    }
    for (const auto& c : cases) {
        for (VARIANT v : c.args)
            ::VariantClear(&v);
    }
}
