#include "framework/DispatchMap.h"

#include "base/Bstr.h"
#include "base/Variant.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <new>
#include <vector>
#include <string>

using framework::DispMethod;

namespace {

// A target with one method of each kind, recording what reached it.
struct Target {
    long Add(long a, long b) noexcept { return a + b; }
    BSTR Echo(const wchar_t* text) noexcept { return ::SysAllocString(text); }
    long IsEmpty(const wchar_t* text) noexcept { return text && *text == L'\0'; }
    void Touch() noexcept { ++touched; }
    long Throws() { throw std::bad_alloc(); }
    long TakesObject(IDispatch* object) noexcept { return object != nullptr; }
    int touched = 0;
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

DISPID Lookup(const wchar_t* name)
{
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = 0;
    return SUCCEEDED(kTable.GetIDsOfNames(names, 1, &id)) ? id : DISPID_UNKNOWN;
}

// Calls with the script's arguments in script order (the array is filled last-first).
HRESULT Call(Target& target, DISPID id, std::initializer_list<VARIANT> scriptArgs, VARIANT* result,
             UINT* argError = nullptr, EXCEPINFO* exception = nullptr)
{
    std::vector<VARIANT> reversed(scriptArgs.begin(), scriptArgs.end());
    std::reverse(reversed.begin(), reversed.end());
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    return kTable.Invoke(target, id, DISPATCH_METHOD, &params, result, exception, argError);
}

VARIANT Long(long value)
{
    VARIANT v;
    V_VT(&v) = VT_I4;
    V_I4(&v) = value;
    return v;
}

VARIANT String(BSTR value)
{
    VARIANT v;
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = value;
    return v;
}

} // namespace

TEST(DispatchLookup, NamesMatchWithoutCaseAndIdsArePositions)
{
    EXPECT_EQ(Lookup(L"Add"), 1);
    EXPECT_EQ(Lookup(L"add"), 1);
    EXPECT_EQ(Lookup(L"ECHO"), 2);
    EXPECT_EQ(Lookup(L"TakesObject"), 6);
    EXPECT_EQ(Lookup(L"Missing"), DISPID_UNKNOWN);
}

TEST(DispatchLookup, ParameterNamesGetNoIdentifier)
{
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"add"), const_cast<LPOLESTR>(L"a")};
    DISPID ids[2] = {0, 0};
    EXPECT_EQ(kTable.GetIDsOfNames(names, 2, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[0], 1);
    EXPECT_EQ(ids[1], DISPID_UNKNOWN);
}

TEST(DispatchInvoke, ConvertsArgumentsToTheDeclaredTypes)
{
    Target target;
    Bstr forty(L"40");
    Variant result;
    ASSERT_EQ(Call(target, 1, {String(forty.Get()), Long(2)}, result.Put()), S_OK);
    ASSERT_EQ(V_VT(result.Get()), VT_I4);
    EXPECT_EQ(V_I4(result.Get()), 42);

    ASSERT_EQ(Call(target, 2, {Long(5)}, result.Put()), S_OK);
    ASSERT_EQ(V_VT(result.Get()), VT_BSTR);
    EXPECT_STREQ(V_BSTR(result.Get()), L"5");
}

TEST(DispatchInvoke, FailedConversionNamesTheArgumentAndSkipsTheHandler)
{
    Target target;
    Bstr notNumber(L"x");
    Variant result;
    UINT argError = 99;
    EXPECT_EQ(Call(target, 1, {Long(1), String(notNumber.Get())}, result.Put(), &argError),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(argError, 0u) << "the second script argument is the first array slot";
    EXPECT_EQ(V_VT(result.Get()), VT_EMPTY);
}

TEST(DispatchInvoke, ArgumentCountsMustMatch)
{
    Target target;
    Variant result;
    EXPECT_EQ(Call(target, 4, {Long(1)}, result.Put()), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(Call(target, 1, {Long(1)}, result.Put()), DISP_E_PARAMNOTOPTIONAL);
    EXPECT_EQ(target.touched, 0);
    EXPECT_EQ(Call(target, 4, {}, result.Put()), S_OK);
    EXPECT_EQ(target.touched, 1);
}

TEST(DispatchInvoke, NamedArgumentsAndUnknownIdsAreRefused)
{
    Target target;
    VARIANT arg = Long(1);
    DISPID named = 0;
    DISPPARAMS params{&arg, &named, 1, 1};
    Variant result;
    EXPECT_EQ(kTable.Invoke(target, 4, DISPATCH_METHOD, &params, result.Put(), nullptr, nullptr),
              DISP_E_NONAMEDARGS);
    EXPECT_EQ(Call(target, 0, {}, result.Put()), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(Call(target, 7, {}, result.Put()), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(target.touched, 0);
}

TEST(DispatchInvoke, BooleanResultsAndNullStrings)
{
    Target target;
    Variant result;
    ASSERT_EQ(Call(target, 3, {String(nullptr)}, result.Put()), S_OK);
    ASSERT_EQ(V_VT(result.Get()), VT_BOOL);
    EXPECT_EQ(V_BOOL(result.Get()), VARIANT_TRUE) << "a null string reaches a handler as empty";
    Bstr text(L"a");
    ASSERT_EQ(Call(target, 3, {String(text.Get())}, result.Put()), S_OK);
    EXPECT_EQ(V_BOOL(result.Get()), VARIANT_FALSE);
}

TEST(DispatchInvoke, AnEscapingExceptionBecomesDispException)
{
    Target target;
    Variant result;
    EXCEPINFO exception{};
    EXPECT_EQ(Call(target, 5, {}, result.Put(), nullptr, &exception), DISP_E_EXCEPTION);
    EXPECT_NE(exception.bstrDescription, nullptr);
    EXPECT_EQ(exception.scode, E_OUTOFMEMORY);
    ::SysFreeString(exception.bstrDescription);
    ::SysFreeString(exception.bstrSource);
}

TEST(DispatchInvoke, ObjectParametersRefuseNonObjects)
{
    Target target;
    Variant result;
    EXPECT_EQ(Call(target, 6, {Long(3)}, result.Put()), DISP_E_TYPEMISMATCH);
}
