// Whom the browser's site and the bridge trust, and what the site answers. The site is called
// directly: under Wine no page loads, so the browser never calls it.
#include "base/ExceptionInfo.h"
#include "base/Unique.h"
#include "base/Variant.h"
#include "framework/DispatchObject.h"
#include "tests/support/WindowDriver.h"
#include "tests/web/PageDialog.h"
#include "tools/pagescript/PageDocument.h"
#include "web/Sites.h"

#include <activscp.h>
#include <docobj.h>
#include <mshtml.h>
#include <olectl.h>

#include <array>
#include <string_view>

using Microsoft::WRL::ComPtr;
using namespace std::literals;

namespace {

constexpr GUID kDocHostCommandGroup = {
    0xf38bc242, 0xb950, 0x11d1, {0x89, 0x18, 0x00, 0xc0, 0x4f, 0xc2, 0xc8, 0x36}};

// The engine's caller, naming the calling script's site (SID_GetScriptSite) unless it names
// none: itself, as the check only asks the site for its document (SID_SContainerDispatch).
class StandInCaller : public framework::UncountedObject<IServiceProvider> {
public:
    StandInCaller(std::wstring_view url, bool namesSite = true) : m_bNamesSite(namesSite)
    {
        *m_document.GetAddressOf() = pagescript::PageDocument::Create(nullptr, url);
    }
    HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID iid,
                                           void** out) noexcept override
    {
        if (service == SID_SContainerDispatch)
            return m_document->QueryInterface(iid, out);
        return service == IID_IActiveScriptSite && m_bNamesSite
                   ? QueryInterface(IID_IServiceProvider, out)
                   : framework::ClearOut(reinterpret_cast<IUnknown**>(out), E_NOINTERFACE);
    }

private:
    ComPtr<IDispatch> m_document;
    bool m_bNamesSite;
};

class DocHostSite : public test::UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        ASSERT_TRUE(m_host.Create());
        ComPtr<IOleObject> browser; // the site is asked of the browser that holds it
        ASSERT_TRUE(SUCCEEDED(m_host.Control().Browser()->QueryInterface(IID_PPV_ARGS(&browser))) &&
                    SUCCEEDED(browser->GetClientSite(&m_site)) &&
                    SUCCEEDED(m_site.As(&m_handler)) && SUCCEEDED(m_site.As(&m_manager)) &&
                    SUCCEEDED(m_site.As(&m_showUI)) && SUCCEEDED(m_site.As(&m_target)) &&
                    SUCCEEDED(m_host.Control().GetIDispatch(false)->QueryInterface(
                        IID_PPV_ARGS(&m_bridge))));
    }
    // A method (GetVersion, id 1, unless named) reached through InvokeEx: "1" when GetVersion
    // ran, else why not.
    std::string GetVersion(IServiceProvider* caller, DISPPARAMS params = {}, DISPID id = 1,
                           WORD access = DISPATCH_METHOD)
    {
        Variant result;
        ExceptionInfo exception;
        const HRESULT hr =
            m_bridge->InvokeEx(id, 0, access, &params, result.Get(), &exception, caller);
        if (hr == DISP_E_EXCEPTION && exception.scode == CTL_E_PERMISSIONDENIED)
            return "denied";
        return FAILED(hr) ? std::to_string(hr) : std::to_string(V_I4(result.Get()));
    }
    HRESULT UrlAction(const wchar_t* url, DWORD action, void* policy, DWORD size = 4)
    {
        return m_manager->ProcessUrlAction(url, action, static_cast<BYTE*>(policy), size, nullptr,
                                           0, 0, 0);
    }

    test::PageDialog m_host;
    ComPtr<IOleClientSite> m_site;
    ComPtr<IDocHostUIHandler> m_handler;
    ComPtr<IInternetSecurityManager> m_manager;
    ComPtr<IDocHostShowUI> m_showUI;
    ComPtr<IOleCommandTarget> m_target;
    ComPtr<IDispatchEx> m_bridge;
};

} // namespace

// Each address as the origin check, the bridge (for a script of a document there) and the site (for
// a page's actions there) judge it; other actions, and other pages, get the zone's settings.
TEST_F(DocHostSite, OnlyTheExactOwnOriginsOverHttpsAreTrusted)
{
    const std::pair<const wchar_t*, bool> cases[] = {
        // the address, and whether it is trusted
        {test::kOwnPage, true},
        {L"HTTPS://GAME.Valdmark.EXAMPLE:443/tsly/x?ToolId=3#top", true},
        {L"https://game.valdmark.example/p?u=https://attacker.example/", true},
        {test::kUpdateLogPage, false},                                    // own, but plain HTTP
        {L"https://bbs.valdmark.example/thread-5974846-1-1.html", false}, // the forum
        {L"https://game.valdmark.example.attacker.example/", false},
        {L"https://evilgame.valdmark.example/", false},
        {L"https://game.valdmark.example@attacker.example/", false},
        {L"https://user:pw@game.valdmark.example/", false},
        {L"https://game.valdmark.example:8443/", false},
        {L"http://game.valdmark.example/tsly/", false},
        {L"https://game.valdmark.example./", false},
        {L"https://\uff47\uff41\uff4d\uff45.valdmark.example/", false}, // full width
        {L"http://tool\u017F.valdmark.example:8088/", false},           // long s: S
        {L"https://tools.valdmark.example:8088/", false},               // the tools server's port
        {L"https://game.valdmar\u212A.example/", false},                // Kelvin sign: k
        {L"https://attacker.example/?https://game.valdmark.example/", false},
        {L"https://attacker.example\\@game.valdmark.example/", false},
        {L"javascript:'https://game.valdmark.example/'", false},
        {nullptr, false},
    };
    for (const auto& [url, trusted] : cases) {
        const std::string what = test::Utf8(url ? url : L"(null)");
        EXPECT_EQ(web::IsTrustedPageUrl(url), trusted) << what;
        StandInCaller caller(url ? url : L"");
        EXPECT_EQ(GetVersion(&caller), trusted ? "1" : "denied") << what;
        for (const DWORD action : {0x1200u, 0x13FFu, 0x1400u, 0x15FFu, 0x11FFu, 0x1600u}) {
            const bool allowed = trusted && action >= 0x1200 && action <= 0x15FF;
            DWORD policy[2] = {7, 7};
            EXPECT_EQ(UrlAction(url, action, policy), allowed ? S_OK : INET_E_DEFAULT_ACTION)
                << what << ", action " << action;
            EXPECT_TRUE(policy[0] == (allowed ? DWORD{URLPOLICY_ALLOW} : 7) && policy[1] == 7)
                << what;
        }
    }
    StandInCaller withNul(L"https://game.valdmark.example\0.attacker.example/"sv);
    StandInCaller namesNoSite(test::kOwnPage, false);
    EXPECT_EQ(GetVersion(&withNul) + GetVersion(&namesNoSite), "denieddenied")
        << "a NUL before another host, or a caller that names no site";
    DWORD policy = 7;
    EXPECT_TRUE(UrlAction(test::kOwnPage, 0x1400, &policy, 3) == S_FALSE && policy == 7 &&
                UrlAction(test::kOwnPage, 0x1400, nullptr) == S_FALSE)
        << "a policy written into 3 bytes, or into nothing";
}

// Without a named caller the top-level page decides, and window.external is the bridge only on
// the tool's own pages over HTTPS. Of named arguments only the engine's own DISPID_THIS passes.
TEST_F(DocHostSite, WithoutACallerTheTopLevelPageDecides)
{
    IDispatch* bridge = m_host.Control().GetIDispatch(false);
    const ULONG count = test::ReferenceCount(bridge);
    IDispatch* external = bridge;
    for (const wchar_t* url :
         {test::kUpdateLogPage, test::kOwnPage, L"https://attacker.example/"}) {
        ASSERT_TRUE(test::NavigateAndWait(m_host.Control(), url));
        const bool own = web::IsTrustedPageUrl(url);
        EXPECT_EQ(m_handler->GetExternal(&external), own ? S_OK : S_FALSE) << test::Utf8(url);
        EXPECT_EQ(external, own ? bridge : nullptr) << test::Utf8(url);
        if (external)
            external->Release();
        EXPECT_EQ(test::ReferenceCount(bridge), count) << "not one reference for the page";
        EXPECT_EQ(GetVersion(nullptr), own ? "1" : "denied") << test::Utf8(url);
    }
    DISPPARAMS none{};
    EXPECT_EQ(m_bridge->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
              CTL_E_PERMISSIONDENIED)
        << "without an exception record, the code itself";
    StandInCaller own(test::kOwnPage);
    VARIANT self{};
    V_VT(&self) = VT_DISPATCH;
    V_DISPATCH(&self) = bridge;
    DISPID named[] = {DISPID_THIS, 7};
    EXPECT_EQ(GetVersion(&own), "1") << "a named caller is judged by its own document";
    EXPECT_EQ(GetVersion(&own, {&self, &named[0], 1, 1}), "1");
    EXPECT_EQ(GetVersion(&own, {&self, &named[1], 1, 1}), std::to_string(DISP_E_NONAMEDARGS));

    // From another origin every kind of access is refused, whatever the case of the name, before
    // the kind is looked at: by the top-level page (the page is still the attacker's) and by the
    // caller's document.
    StandInCaller foreign(L"https://attacker.example/");
    VARIANT value{};
    V_VT(&value) = VT_I4;
    DISPID put = DISPID_PROPERTYPUT;
    for (const wchar_t* name : {L"getVERSION", L"runexe"}) {
        DISPID id = 0;
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        ASSERT_EQ(bridge->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
        for (const WORD access : {DISPATCH_METHOD, DISPATCH_PROPERTYGET, DISPATCH_PROPERTYPUT}) {
            DISPPARAMS params{};
            if (access == DISPATCH_PROPERTYPUT)
                params = {&value, &put, 1, 1};
            EXPECT_EQ(bridge->Invoke(id, IID_NULL, 0, access, &params, nullptr, nullptr, nullptr),
                      CTL_E_PERMISSIONDENIED)
                << test::Utf8(name) << ", access " << access;
            EXPECT_EQ(GetVersion(&foreign, params, id, access), "denied")
                << test::Utf8(name) << ", access " << access;
        }
    }
}

TEST_F(DocHostSite, AnswersTheBrowserAndNothingReachesAControlThatHasGone)
{
    ComPtr<IServiceProvider> provider;
    ComPtr<IUnknown> served;
    const IID& manager = __uuidof(IInternetSecurityManager);
    void* other = this;
    EXPECT_TRUE(SUCCEEDED(m_site.As(&provider)) &&
                provider->QueryService(manager, manager,
                                       reinterpret_cast<void**>(served.GetAddressOf())) == S_OK &&
                served.Get() == m_manager.Get() &&
                provider->QueryService(manager, IID_IUnknown, &other) == E_NOINTERFACE && !other &&
                provider->QueryService(manager, manager, nullptr) == E_POINTER)
        << "a service other than the site's own security manager";
    POINT where{};
    EXPECT_EQ(m_handler->ShowContextMenu(0, &where, nullptr, nullptr), S_OK) << "a context menu";
    DOCHOSTUIINFO info{sizeof(info), 0, DOCHOSTUIDBLCLK_SHOWCODE, nullptr, nullptr};
    EXPECT_EQ(m_handler->GetHostInfo(&info), S_OK);
    EXPECT_TRUE(info.dwFlags == 0x4000D && info.dwDoubleClick == DOCHOSTUIDBLCLK_DEFAULT)
        << "not a dialog without 3-D border or scroll bar, themed, with the usual double click";
    m_host.Control().m_bScrollable = TRUE;
    EXPECT_EQ(m_handler->GetHostInfo(&info), S_OK);
    EXPECT_EQ(info.dwFlags, 0x40001u) << "not a themed dialog with scroll bars and border";
    EXPECT_EQ(m_handler->GetHostInfo(nullptr), E_POINTER);
    EXPECT_EQ(m_handler->GetExternal(nullptr), E_POINTER);
    wchar_t text[] = L"确定要删除游戏文件吗？";
    LRESULT pressed = -5;
    EXPECT_EQ(m_showUI->ShowMessage(nullptr, text, text, MB_OK, nullptr, 0, nullptr), E_POINTER);
    test::BoxAnswerer player({{text, IDNO}});
    EXPECT_EQ(m_showUI->ShowMessage(nullptr, text, text, MB_YESNO, nullptr, 0, &pressed), S_OK);
    const auto seen = player.Seen();
    EXPECT_TRUE(seen.size() == 1 && seen[0].owner == m_host.m_hWnd && seen[0].buttons.size() == 2 &&
                pressed == IDNO)
        << "not shown as a box of the page's window, or its answer did not reach the browser";
    ComPtr<IOleInPlaceSite> inPlace;
    ComPtr<IUnknown> site;
    ASSERT_TRUE(m_site.As(&inPlace) == S_OK && m_site.As(&site) == S_OK);
    // Whichever of its interfaces the browser holds, the site is one object with one count.
    const ULONG count = test::ReferenceCount(site.Get());
    for (IUnknown* face :
         std::initializer_list<IUnknown*>{m_handler.Get(), m_manager.Get(), m_showUI.Get(),
                                          m_target.Get(), provider.Get(), inPlace.Get()}) {
        ComPtr<IUnknown> same;
        EXPECT_TRUE(face->QueryInterface(IID_PPV_ARGS(&same)) == S_OK &&
                    same.Get() == site.Get() && face->AddRef() == count + 2 &&
                    face->Release() == count + 1)
            << "an interface with an identity or a count of its own";
    }
    m_host.m_pControl.reset(); // before its window, which the dialog takes along
    ::DestroyWindow(m_host.m_hWnd);
    pressed = -5;
    IDispatch* external = m_bridge.Get();
    HWND window = ::GetDesktopWindow();
    EXPECT_EQ(m_showUI->ShowMessage(nullptr, text, text, MB_OK, nullptr, 0, &pressed), E_NOTIMPL);
    EXPECT_EQ(m_handler->GetHostInfo(&info), E_NOTIMPL);
    EXPECT_EQ(m_handler->GetExternal(&external), S_FALSE);
    EXPECT_EQ(inPlace->GetWindow(&window), E_FAIL);
    EXPECT_TRUE(pressed == -5 && external == nullptr && window == nullptr);
}

namespace {

// A page's document, window and event in one object, as the site walks them for a message's text
// (document.parentWindow.event.messageText): each method past IDispatch's hands the object out
// again (x64 callers clean up, so one function fits any slot). Its count tells what came back.
struct Page {
    static HRESULT Query(Page* p, REFIID iid, Page** out)
    {
        *out = iid == IID_IHTMLDocument2 && !p->document ? nullptr : (++p->refs, p);
        return *out ? S_OK : E_NOINTERFACE;
    }
    static ULONG AddRef(Page* p) { return ++p->refs; }
    static ULONG Release(Page* p) { return --p->refs; }
    static HRESULT Next(Page* p, Page** out) { return Query(p, IID_IUnknown, out); }
    static HRESULT Names(Page*, REFIID, LPOLESTR* names, UINT, LCID, DISPID* id)
    {
        *id = 1;
        return names[0] == L"messageText"sv ? S_OK : DISP_E_UNKNOWNNAME;
    }
    static HRESULT Get(Page* p, DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* out, void*, void*)
    {
        return ::VariantCopy(out, p->text.Get());
    }

    const void* const* vtable = slots.data();
    std::array<const void*, 256> slots = [] {
        const auto at = [](auto function) { return reinterpret_cast<const void*>(function); };
        std::array<const void*, 256> table;
        table.fill(at(&Next));
        table[0] = at(&Query), table[1] = at(&AddRef), table[2] = at(&Release);
        table[5] = at(&Names), table[6] = at(&Get);
        return table;
    }();
    bool document = true;
    LONG refs = 1;
    Variant text;
};

} // namespace

// Script errors are never shown and scripts keep running; the browser's notes about ActiveX are
// dropped, and any other message, also one whose text cannot be read, is left to the browser.
TEST_F(DocHostSite, ScriptErrorsAndActiveXNotesAreDroppedAndOtherMessagesShown)
{
    Variant told;
    EXPECT_EQ(
        m_target->Exec(&kDocHostCommandGroup, OLECMDID_SHOWSCRIPTERROR, 0, nullptr, told.Get()),
        S_OK);
    EXPECT_TRUE(V_VT(told.Get()) == VT_BOOL && V_BOOL(told.Get()) == VARIANT_TRUE);
    for (const GUID* group : {static_cast<const GUID*>(nullptr), &IID_IUnknown})
        EXPECT_TRUE(m_target->Exec(group, OLECMDID_SHOWSCRIPTERROR, 0, nullptr, told.Put()) ==
                        OLECMDERR_E_NOTSUPPORTED &&
                    V_VT(told.Get()) == VT_EMPTY)
            << "a command of no group, or of another group, was taken for the browser's";
    struct Message {
        const wchar_t* text;
        bool document; // whether a document brings it
        int answer;    // not shown (-1), shown (0), none (1)
    };
    const Message messages[] = {
        {L"此页上的 ActiveX 控件可能不安全。", true, -1},
        {L"使用ActiveX控件", true, 0},
        {L" ActiveX ", false, 1},
    };
    for (const auto& [text, document, answer] : messages) {
        Page page;
        page.document = document;
        V_VT(page.text.Get()) = VT_BSTR;
        V_BSTR(page.text.Get()) = ::SysAllocString(text);
        VARIANT input{};
        V_VT(&input) = VT_UNKNOWN;
        V_UNKNOWN(&input) = reinterpret_cast<IUnknown*>(&page);
        EXPECT_EQ(
            m_target->Exec(&kDocHostCommandGroup, OLECMDID_SHOWMESSAGE, 0, &input, told.Put()),
            answer < 0 ? S_OK : OLECMDERR_E_NOTSUPPORTED)
            << test::Utf8(text);
        EXPECT_EQ(V_VT(told.Get()) ? V_BOOL(told.Get()) : 1, answer) << test::Utf8(text);
        EXPECT_EQ(page.refs, 1) << test::Utf8(text) << ": not all that was handed out came back";
    }
}
