// Who may call the bridge: a call through IDispatchEx is checked against the document whose
// script makes it, as the script engine names it; a call that names no caller, against the
// top-level page. Stand-ins play the engine's caller and the calling script's site.
#include "framework/DispatchObject.h"
#include "tests/support/UiSession.h"
#include "tests/web/WebHost.h"
#include "tools/pagescript/PageDocument.h"
#include "web/ScriptCaller.h"

#include <docobj.h>
#include <olectl.h>

#include <string>
#include <string_view>

using Microsoft::WRL::ComPtr;
using namespace std::literals;

namespace {

// A calling script's site, whose container is a document at the given address.
class StandInSite : public framework::UncountedObject<IActiveScriptSite> {
public:
    explicit StandInSite(std::wstring_view url) { m_pDocument->SetUrl(url); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) noexcept override
    {
        if (object && iid == IID_IServiceProvider) {
            *object = static_cast<IServiceProvider*>(&m_xServices);
            AddRef();
            return S_OK;
        }
        return UncountedObject::QueryInterface(iid, object);
    }
    HRESULT STDMETHODCALLTYPE GetLCID(LCID*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetItemInfo(LPCOLESTR, DWORD, IUnknown**, ITypeInfo**) noexcept
        override
    {
        return TYPE_E_ELEMENTNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE GetDocVersionString(BSTR*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnScriptTerminate(const VARIANT*, const EXCEPINFO*) noexcept
        override
    {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnStateChange(SCRIPTSTATE) noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnScriptError(IActiveScriptError*) noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnEnterScript() noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnLeaveScript() noexcept override { return S_OK; }

private:
    class XServices : public framework::NestedInterface<IServiceProvider, StandInSite> {
    public:
        using NestedInterface::NestedInterface;
        HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID iid,
                                               void** object) noexcept override
        {
            if (service == SID_SContainerDispatch)
                return Owner().m_pDocument->Dispatch()->QueryInterface(iid, object);
            return framework::ClearOut(reinterpret_cast<IUnknown**>(object), E_NOINTERFACE);
        }
    };

    pagescript::PageObject::Ptr m_pDocument =
        pagescript::PageObject::Create(pagescript::PageObject::Kind::Document);
    XServices m_xServices{*this};
};

// The engine's caller: it names the calling script's site (SID_GetScriptSite), or nothing.
// The route through the engine (SID_VariantConversion), which Wine 8's JScript takes, is the
// one every page script run by pagescript goes.
class StandInCaller : public framework::UncountedObject<IServiceProvider> {
public:
    explicit StandInCaller(IActiveScriptSite* site) noexcept : m_pSite(site) {}
    HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID iid,
                                           void** object) noexcept override
    {
        if (m_pSite && service == IID_IActiveScriptSite)
            return m_pSite->QueryInterface(iid, object);
        return framework::ClearOut(reinterpret_cast<IUnknown**>(object), E_NOINTERFACE);
    }

private:
    IActiveScriptSite* m_pSite;
};

class BridgeCallers : public test::UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        ASSERT_TRUE(m_host.Create());
        ASSERT_TRUE(test::NavigateAndWait(Bridge(), test::kOwnPage));
        ASSERT_EQ(Dispatch()->QueryInterface(IID_PPV_ARGS(&m_pBridge)), S_OK)
            << "the bridge does not answer IDispatchEx";
        wchar_t name[] = L"getversion";
        ASSERT_EQ(m_pBridge->GetDispID(name, fdexNameCaseSensitive, &m_getVersion), S_OK)
            << "a lookup that asks for case is still answered without regard to case";
    }

    CHtmlCtrl& Bridge() { return *m_host.m_pControl; }
    IDispatch* Dispatch() { return Bridge().GetIDispatch(false); }

    // GetVersion called through InvokeEx: "1" when it ran, else the failure.
    std::string CallGetVersion(IServiceProvider* caller, DISPPARAMS params = {})
    {
        Variant result;
        EXCEPINFO exception{};
        const HRESULT hr = m_pBridge->InvokeEx(m_getVersion, LOCALE_USER_DEFAULT,
                                               DISPATCH_METHOD, &params, result.Get(),
                                               &exception, caller);
        ::SysFreeString(exception.bstrSource);
        ::SysFreeString(exception.bstrDescription);
        ::SysFreeString(exception.bstrHelpFile);
        if (hr == DISP_E_EXCEPTION && exception.scode == CTL_E_PERMISSIONDENIED)
            return "permission denied";
        if (FAILED(hr))
            return "failed " + std::to_string(hr);
        return std::to_string(V_VT(result.Get()) == VT_I4 ? V_I4(result.Get()) : -1);
    }

    test::HostDialog m_host;
    ComPtr<IDispatchEx> m_pBridge;
    DISPID m_getVersion = DISPID_UNKNOWN;
};

} // namespace

TEST_F(BridgeCallers, OnlyAnOwnHttpsDocumentsScriptIsAnswered)
{
    struct Case {
        const char* caller;
        std::wstring_view document;
        const char* expected;
    };
    const Case cases[] = {
        {"own HTTPS document", test::kOwnPage, "1"},
        {"another origin", L"https://attacker.example/"sv, "permission denied"},
        {"own host as a prefix", test::kForeignPage, "permission denied"},
        {"own host over plain HTTP", L"http://game.valdmark.example/tsly/"sv, "permission denied"},
        {"the tools server, own but plain HTTP", test::kUpdateLogPage, "permission denied"},
        {"own host on another port", L"https://game.valdmark.example:8443/"sv,
         "permission denied"},
        {"user:password@own host", L"https://user:pw@game.valdmark.example/"sv,
         "permission denied"},
        {"a NUL before another host", L"https://game.valdmark.example\0.attacker/"sv,
         "permission denied"},
        {"a document without an address", L""sv, "permission denied"},
    };
    for (const Case& c : cases) {
        StandInSite site(c.document);
        StandInCaller caller(&site);
        EXPECT_EQ(CallGetVersion(&caller), c.expected) << c.caller;
    }
    StandInCaller namesNoSite(nullptr);
    EXPECT_EQ(CallGetVersion(&namesNoSite), "permission denied") << "a caller that names no site";
}

TEST_F(BridgeCallers, WithoutACallerTheTopLevelPageDecides)
{
    Variant result;
    DISPPARAMS none{};
    EXPECT_EQ(CallGetVersion(nullptr), "1");
    EXPECT_EQ(Dispatch()->Invoke(m_getVersion, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                 &none, result.Get(), nullptr, nullptr),
              S_OK);

    ASSERT_TRUE(test::NavigateAndWait(Bridge(), test::kForeignPage));
    EXPECT_EQ(CallGetVersion(nullptr), "permission denied");
    EXPECT_EQ(Dispatch()->Invoke(m_getVersion, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                 &none, result.Get(), nullptr, nullptr),
              CTL_E_PERMISSIONDENIED)
        << "without an exception record the code itself";
    StandInSite site(test::kOwnPage);
    StandInCaller caller(&site);
    EXPECT_EQ(CallGetVersion(&caller), "1") << "a named caller is judged by its own document";
}

TEST_F(BridgeCallers, TheEnginesThisArgumentIsTheOnlyNamedOneAccepted)
{
    StandInSite site(test::kOwnPage);
    StandInCaller caller(&site);
    VARIANT self;
    V_VT(&self) = VT_DISPATCH;
    V_DISPATCH(&self) = Dispatch();
    DISPID thisId = DISPID_THIS;
    EXPECT_EQ(CallGetVersion(&caller, {&self, &thisId, 1, 1}), "1");
    DISPID otherId = 7;
    EXPECT_EQ(CallGetVersion(&caller, {&self, &otherId, 1, 1}),
              "failed " + std::to_string(DISP_E_NONAMEDARGS));
    wchar_t unknown[] = L"NoSuchMethod";
    DISPID id = 0;
    EXPECT_EQ(m_pBridge->GetDispID(unknown, fdexNameEnsure, &id), DISP_E_UNKNOWNNAME)
        << "no member is ever added";
}
