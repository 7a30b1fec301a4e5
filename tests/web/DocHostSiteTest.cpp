// The browser's client site, reached the way the browser reaches it: asked of the real
// browser control in a real dialog, and then called directly (under Wine no page ever loads,
// so the browser never calls it by itself).
#include "tests/support/Files.h"
#include "tests/support/UiSession.h"
#include "tests/support/WindowDriver.h"
#include "tests/web/WebHost.h"
#include "tools/pagescript/PageDocument.h"

#include <docobj.h>
#include <mshtmhst.h>
#include <servprov.h>
#include <urlmon.h>

#include <cstring>
#include <string>
#include <vector>

using Microsoft::WRL::ComPtr;

namespace {

constexpr GUID kDocHostCommandGroup = {
    0xf38bc242, 0xb950, 0x11d1, {0x89, 0x18, 0x00, 0xc0, 0x4f, 0xc2, 0xc8, 0x36}};
constexpr GUID kOtherGroup = {
    0x12345678, 0x1234, 0x1234, {0x12, 0x34, 0x12, 0x34, 0x12, 0x34, 0x56, 0x78}};

// A site of a real control in a real dialog, as its browser got it.
class DocHostSite : public test::UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        ASSERT_TRUE(m_host.Create());
        m_site = test::ClientSiteOf(Control().Browser());
        ASSERT_TRUE(m_site) << "the browser holds no client site";
    }

    test::RecordingHtmlCtrl& Control() { return *m_host.m_pControl; }

    template <class Interface> ComPtr<Interface> Site()
    {
        ComPtr<Interface> found;
        EXPECT_EQ(m_site.As(&found), S_OK) << "the site does not answer the interface";
        return found;
    }

    test::HostDialog m_host;
    ComPtr<IUnknown> m_site;
};

} // namespace

TEST_F(DocHostSite, AllInterfacesShareOneIdentityAndOneCount)
{
    const IID iids[] = {IID_IOleClientSite,          IID_IOleInPlaceSite,
                        IID_IOleControlSite,         __uuidof(IDocHostShowUI),
                        __uuidof(IDocHostUIHandler), __uuidof(IInternetSecurityManager),
                        __uuidof(IServiceProvider),  __uuidof(IOleCommandTarget)};
    std::vector<ComPtr<IUnknown>> interfaces;
    for (const IID& iid : iids) {
        ComPtr<IUnknown> found;
        ASSERT_EQ(m_site->QueryInterface(iid, reinterpret_cast<void**>(found.GetAddressOf())),
                  S_OK);
        interfaces.push_back(found);
    }
    for (const ComPtr<IUnknown>& from : interfaces) {
        ComPtr<IUnknown> identity;
        ASSERT_EQ(from->QueryInterface(IID_PPV_ARGS(&identity)), S_OK);
        EXPECT_EQ(identity.Get(), m_site.Get()) << "every interface leads back to one IUnknown";
        for (const IID& iid : iids) {
            ComPtr<IUnknown> other;
            EXPECT_EQ(from->QueryInterface(iid, reinterpret_cast<void**>(other.GetAddressOf())),
                      S_OK);
        }
    }

    IUnknown* handler = interfaces[5].Get();
    IUnknown* target = interfaces[7].Get();
    const ULONG before = test::ReferenceCount(m_site.Get());
    EXPECT_EQ(handler->AddRef(), before + 1);
    EXPECT_EQ(test::ReferenceCount(target), before + 1)
        << "the count is the site's, whichever interface";
    EXPECT_EQ(target->Release(), before);
}

TEST_F(DocHostSite, AQueryForAnotherInterfaceClearsTheOutParameter)
{
    for (const IID& from : {IID_IUnknown, __uuidof(IDocHostShowUI), __uuidof(IDocHostUIHandler),
                            __uuidof(IInternetSecurityManager), __uuidof(IServiceProvider),
                            __uuidof(IOleCommandTarget)}) {
        ComPtr<IUnknown> x;
        ASSERT_EQ(m_site->QueryInterface(from, reinterpret_cast<void**>(x.GetAddressOf())), S_OK);
        const ULONG before = test::ReferenceCount(x.Get());
        int sentinel = 0;
        void* object = &sentinel;
        EXPECT_EQ(x->QueryInterface(IID_IPersist, &object), E_NOINTERFACE);
        EXPECT_EQ(object, nullptr);
        EXPECT_EQ(x->QueryInterface(IID_IOleObject, nullptr), E_POINTER);
        EXPECT_EQ(test::ReferenceCount(x.Get()), before) << "a failed query adds no reference";
    }
}

TEST_F(DocHostSite, NoContextMenuNoHelpAndTheBrowserKeepsItsKeys)
{
    auto handler = Site<IDocHostUIHandler>();
    POINT where{10, 10};
    EXPECT_EQ(handler->ShowContextMenu(CONTEXT_MENU_DEFAULT, &where, nullptr, nullptr), S_OK);
    MSG key{Control().GetSafeHwnd(), WM_KEYDOWN, VK_F5, 0, 0, {}};
    EXPECT_EQ(handler->TranslateAccelerator(&key, nullptr, 0), E_NOTIMPL);
    EXPECT_EQ(Site<IDocHostShowUI>()->ShowHelp(nullptr, nullptr, 0, 0, where, nullptr), E_NOTIMPL);
}

TEST_F(DocHostSite, HostInfoFollowsTheControlsScrollSetting)
{
    auto handler = Site<IDocHostUIHandler>();
    wchar_t css[] = L"body{}";
    DOCHOSTUIINFO info{};
    info.cbSize = sizeof(info);
    info.dwFlags = 0xFFFFFFFF;
    info.dwDoubleClick = DOCHOSTUIDBLCLK_SHOWCODE;
    info.pchHostCss = css;
    ASSERT_EQ(handler->GetHostInfo(&info), S_OK);
    EXPECT_EQ(info.dwFlags, 0x4000Du) << "dialog, no 3-D border, no scroll bar, themed";
    EXPECT_EQ(info.dwDoubleClick, static_cast<DWORD>(DOCHOSTUIDBLCLK_DEFAULT));
    EXPECT_EQ(info.cbSize, sizeof(info));
    EXPECT_EQ(info.pchHostCss, css) << "the style sheet is left as it was";

    Control().m_bScrollable = TRUE;
    info.dwFlags = 0;
    ASSERT_EQ(handler->GetHostInfo(&info), S_OK);
    EXPECT_EQ(info.dwFlags, 0x40001u) << "dialog and themed, with scroll bars and border";

    EXPECT_EQ(handler->GetHostInfo(nullptr), E_POINTER);
}

TEST_F(DocHostSite, ShowMessageIsTheToolsOwnBoxAndReturnsTheButton)
{
    wchar_t caption[] = L"来自网页的消息";
    wchar_t text[] = L"确定要删除游戏文件吗？";
    test::BoxAnswerer answerer({{caption, IDNO}});
    LRESULT pressed = 0;
    const HRESULT hr = Site<IDocHostShowUI>()->ShowMessage(
        nullptr, text, caption, MB_YESNO | MB_ICONQUESTION, nullptr, 0, &pressed);

    const auto seen = answerer.Seen();
    ASSERT_EQ(seen.size(), 1u) << "no message box with the caption appeared";
    EXPECT_EQ(hr, S_OK);
    EXPECT_EQ(pressed, IDNO) << "the pressed button comes back to the browser";
    EXPECT_EQ(seen[0].text, text);
    EXPECT_EQ(seen[0].owner, ::GetAncestor(Control().GetSafeHwnd(), GA_ROOT))
        << "the box belongs to the control's window (Windows hands it to the top-level one)";
    EXPECT_EQ(seen[0].buttons, (std::vector<int>{IDYES, IDNO})) << "the type's buttons";
}

namespace {

struct PolicyBuffer {
    BYTE bytes[8];
    PolicyBuffer() { std::memset(bytes, 0xAA, sizeof(bytes)); }
    [[nodiscard]] bool Untouched() const
    {
        for (BYTE b : bytes)
            if (b != 0xAA)
                return false;
        return true;
    }
    [[nodiscard]] DWORD First() const
    {
        DWORD value = 0;
        std::memcpy(&value, bytes, sizeof(value));
        return value;
    }
};

constexpr DWORD kAllowedActions[] = {0x1200, 0x13FF, 0x1400, 0x15FF};
constexpr DWORD kOtherActions[] = {0x11FF, 0x1600, URLACTION_DOWNLOAD_SIGNED_ACTIVEX,
                                   URLACTION_SHELL_FILE_DOWNLOAD};

} // namespace

TEST_F(DocHostSite, OwnHttpsPagesRunScriptsAndControlsWithoutPrompts)
{
    auto manager = Site<IInternetSecurityManager>();
    for (DWORD action : kAllowedActions) {
        SCOPED_TRACE(action);
        PolicyBuffer policy;
        EXPECT_EQ(manager->ProcessUrlAction(test::kOwnPage, action, policy.bytes, 4, nullptr, 0,
                                            PUAF_DEFAULT, 0),
                  S_OK);
        EXPECT_EQ(policy.First(), static_cast<DWORD>(URLPOLICY_ALLOW));
        EXPECT_EQ(policy.bytes[4], 0xAA) << "nothing written past the buffer";

        PolicyBuffer small;
        EXPECT_EQ(manager->ProcessUrlAction(test::kOwnPage, action, small.bytes, 3, nullptr, 0,
                                            PUAF_DEFAULT, 0),
                  S_FALSE);
        EXPECT_TRUE(small.Untouched()) << "a buffer of 3 bytes gets nothing";
        EXPECT_EQ(manager->ProcessUrlAction(test::kOwnPage, action, nullptr, 4, nullptr, 0,
                                            PUAF_DEFAULT, 0),
                  S_FALSE);
    }
    for (DWORD action : kOtherActions) {
        SCOPED_TRACE(action);
        PolicyBuffer policy;
        EXPECT_EQ(manager->ProcessUrlAction(test::kOwnPage, action, policy.bytes, 4, nullptr, 0,
                                            PUAF_DEFAULT, 0),
                  INET_E_DEFAULT_ACTION);
        EXPECT_TRUE(policy.Untouched());
    }
}

TEST_F(DocHostSite, OtherPagesGetTheBrowsersZoneSettings)
{
    auto manager = Site<IInternetSecurityManager>();
    for (const wchar_t* url : {test::kForeignPage, test::kUpdateLogPage,
                               L"http://game.valdmark.example/tsly/index.shtml",
                               L"https://bbs.valdmark.example/thread-5974846-1-1.html",
                               L"about:blank", static_cast<const wchar_t*>(nullptr)}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(url ? url : L"(null)")));
        for (DWORD action : kAllowedActions) {
            PolicyBuffer policy;
            EXPECT_EQ(manager->ProcessUrlAction(url, action, policy.bytes, 4, nullptr, 0,
                                                PUAF_DEFAULT, 0),
                      INET_E_DEFAULT_ACTION);
            EXPECT_TRUE(policy.Untouched());
        }
    }
    DWORD zone = 0xFFFF;
    EXPECT_EQ(manager->MapUrlToZone(test::kOwnPage, &zone, 0), INET_E_DEFAULT_ACTION);
    EXPECT_EQ(zone, 0xFFFFu) << "zones are the browser's own business";
}

TEST_F(DocHostSite, OnlyTheSecurityManagerIsServed)
{
    auto provider = Site<IServiceProvider>();
    const IID& manager = __uuidof(IInternetSecurityManager);
    ComPtr<IUnknown> served;
    ASSERT_EQ(
        provider->QueryService(manager, manager, reinterpret_cast<void**>(served.GetAddressOf())),
        S_OK);
    ComPtr<IUnknown> identity;
    ASSERT_EQ(served.As(&identity), S_OK);
    EXPECT_EQ(identity.Get(), m_site.Get()) << "the site's own security manager";

    struct Request {
        GUID service;
        IID iid;
    };
    for (const Request& request :
         {Request{manager, IID_IUnknown}, Request{manager, __uuidof(IDocHostUIHandler)},
          Request{__uuidof(IDocHostUIHandler), __uuidof(IDocHostUIHandler)},
          Request{kOtherGroup, manager}}) {
        const ULONG before = test::ReferenceCount(m_site.Get());
        int sentinel = 0;
        void* object = &sentinel;
        EXPECT_EQ(provider->QueryService(request.service, request.iid, &object), E_NOINTERFACE);
        EXPECT_EQ(object, nullptr);
        EXPECT_EQ(test::ReferenceCount(m_site.Get()), before);
    }
}

TEST_F(DocHostSite, CommandStatusIsNeverSupported)
{
    auto target = Site<IOleCommandTarget>();
    for (const GUID* group : {&kDocHostCommandGroup, static_cast<const GUID*>(nullptr)}) {
        OLECMD commands[] = {{OLECMDID_SHOWSCRIPTERROR, 0}, {OLECMDID_SHOWMESSAGE, 0}};
        EXPECT_EQ(target->QueryStatus(group, 2, commands, nullptr), OLECMDERR_E_NOTSUPPORTED);
    }
}

TEST_F(DocHostSite, ScriptErrorsAreSwallowedAndScriptsKeepRunning)
{
    auto target = Site<IOleCommandTarget>();
    Variant output;
    EXPECT_EQ(
        target->Exec(&kDocHostCommandGroup, OLECMDID_SHOWSCRIPTERROR, 0, nullptr, output.Get()),
        S_OK);
    EXPECT_EQ(V_VT(output.Get()), VT_BOOL);
    EXPECT_EQ(V_BOOL(output.Get()), VARIANT_TRUE);

    struct Call {
        const GUID* group;
        DWORD command;
    };
    for (const Call& call :
         {Call{nullptr, OLECMDID_SHOWSCRIPTERROR}, Call{&kOtherGroup, OLECMDID_SHOWSCRIPTERROR},
          Call{&kDocHostCommandGroup, 42}, Call{&kDocHostCommandGroup, 39}}) {
        Variant untouched;
        EXPECT_EQ(target->Exec(call.group, call.command, 0, nullptr, untouched.Get()),
                  OLECMDERR_E_NOTSUPPORTED);
        EXPECT_EQ(V_VT(untouched.Get()), VT_EMPTY) << "the output is left alone";
    }
}

namespace {

// The objects the browser passes with its "show message" command, linked as a browser has them.
struct MessageObjects {
    using Kind = pagescript::PageObject::Kind;
    pagescript::PageObject::Ptr document = pagescript::PageObject::Create(Kind::Document);
    pagescript::PageObject::Ptr window = pagescript::PageObject::Create(Kind::Window);
    pagescript::PageObject::Ptr event = pagescript::PageObject::Create(Kind::Event);

    explicit MessageObjects(const wchar_t* text)
    {
        document->Link(window.get());
        window->Link(event.get());
        if (text) {
            VARIANT* messageText = event->Property(L"messageText");
            V_VT(messageText) = VT_BSTR;
            V_BSTR(messageText) = ::SysAllocString(text);
        }
    }
    // Every reference handed out was given back: only the test's own are left.
    [[nodiscard]] bool AllReleased() const
    {
        return document->References() == 1 && window->References() == 1 &&
               event->References() == 1;
    }
};

HRESULT ShowMessage(IOleCommandTarget* target, IUnknown* document, VARIANT* output)
{
    Variant input;
    V_VT(input.Get()) = VT_UNKNOWN;
    V_UNKNOWN(input.Get()) = document;
    document->AddRef();
    return target->Exec(&kDocHostCommandGroup, OLECMDID_SHOWMESSAGE, 0, input.Get(), output);
}

} // namespace

TEST_F(DocHostSite, BrowserMessagesAboutActiveXAreDropped)
{
    auto target = Site<IOleCommandTarget>();
    MessageObjects objects(L"此页上的 ActiveX 控件可能不安全。");
    Variant output;
    EXPECT_EQ(ShowMessage(target.Get(), objects.document->Dispatch(), output.Get()), S_OK);
    EXPECT_EQ(V_VT(output.Get()), VT_BOOL);
    EXPECT_EQ(V_BOOL(output.Get()), VARIANT_TRUE) << "the message is not shown";
    EXPECT_TRUE(objects.AllReleased());
}

TEST_F(DocHostSite, OtherBrowserMessagesAreLeftToTheBrowser)
{
    auto target = Site<IOleCommandTarget>();
    for (const wchar_t* text : {L"使用ActiveX控件", L"An activex control", L" ActiveX", L""}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(text)));
        MessageObjects objects(text);
        Variant output;
        EXPECT_EQ(ShowMessage(target.Get(), objects.document->Dispatch(), output.Get()),
                  OLECMDERR_E_NOTSUPPORTED);
        EXPECT_EQ(V_VT(output.Get()), VT_BOOL);
        EXPECT_EQ(V_BOOL(output.Get()), VARIANT_FALSE);
        EXPECT_TRUE(objects.AllReleased());
    }
}

TEST_F(DocHostSite, AMessageWhoseTextCannotBeReadIsShown)
{
    auto target = Site<IOleCommandTarget>();
    // Each case breaks the chain at another place; the message is then left to the browser,
    // the output is not written, and whatever was obtained is released.
    MessageObjects noProperty(nullptr);
    MessageObjects numberText(nullptr);
    VARIANT* number = numberText.event->Property(L"messageText");
    V_VT(number) = VT_I4;
    V_I4(number) = 7;
    MessageObjects noEvent(L" ActiveX ");
    noEvent.window->Link(nullptr);
    MessageObjects noWindow(L" ActiveX ");
    noWindow.document->Link(nullptr);
    auto notADocument = pagescript::PageObject::Create(pagescript::PageObject::Kind::Plain);

    for (MessageObjects* objects : {&noProperty, &numberText, &noEvent, &noWindow}) {
        Variant output;
        EXPECT_EQ(ShowMessage(target.Get(), objects->document->Dispatch(), output.Get()),
                  OLECMDERR_E_NOTSUPPORTED);
        EXPECT_EQ(V_VT(output.Get()), VT_EMPTY);
        EXPECT_TRUE(objects->AllReleased());
    }
    Variant output;
    EXPECT_EQ(ShowMessage(target.Get(), notADocument->Dispatch(), output.Get()),
              OLECMDERR_E_NOTSUPPORTED);
    EXPECT_EQ(notADocument->References(), 1);
    EXPECT_EQ(target->Exec(&kDocHostCommandGroup, OLECMDID_SHOWMESSAGE, 0, nullptr, output.Get()),
              OLECMDERR_E_NOTSUPPORTED);
    Variant empty;
    EXPECT_EQ(
        target->Exec(&kDocHostCommandGroup, OLECMDID_SHOWMESSAGE, 0, empty.Get(), output.Get()),
        OLECMDERR_E_NOTSUPPORTED);
    EXPECT_EQ(V_VT(output.Get()), VT_EMPTY);
}

namespace {

// What the page would see as window.external: null, or the bridge answering GetVersion.
std::string ExternalSeenBy(IDocHostUIHandler* handler, HRESULT* answer = nullptr)
{
    IDispatch* external = reinterpret_cast<IDispatch*>(&external); // anything but null
    const HRESULT hr = handler->GetExternal(&external);
    if (answer)
        *answer = hr;
    if (!external)
        return "no external";
    // Takes over the reference the page was given (MinGW's ComPtr::Attach would add one).
    ComPtr<IDispatch> bridge;
    *bridge.GetAddressOf() = external;
    wchar_t name[] = L"getversion";
    LPOLESTR names[] = {name};
    DISPID id = 0;
    Variant result;
    DISPPARAMS none{};
    if (FAILED(bridge->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id)) ||
        FAILED(bridge->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none,
                              result.Get(), nullptr, nullptr)))
        return "an object that is not the bridge";
    return "bridge " + std::to_string(V_I4(result.Get()));
}

} // namespace

TEST_F(DocHostSite, TheBridgeIsOnlyForTheToolsOwnHttpsPages)
{
    auto handler = Site<IDocHostUIHandler>();
    IDispatch* bridge = Control().GetIDispatch(false);
    const ULONG bridgeCount = test::ReferenceCount(bridge);
    EXPECT_EQ(ExternalSeenBy(handler.Get()), "no external") << "before any navigation";
    EXPECT_EQ(handler->GetExternal(nullptr), E_POINTER);

    ASSERT_TRUE(test::NavigateAndWait(Control(), test::kOwnPage));
    HRESULT answer = E_FAIL;
    EXPECT_EQ(ExternalSeenBy(handler.Get(), &answer), "bridge 1");
    EXPECT_EQ(answer, S_OK);
    EXPECT_EQ(test::ReferenceCount(bridge), bridgeCount)
        << "the page's reference was its own to release";

    for (const wchar_t* url : {test::kUpdateLogPage, test::kForeignPage,
                               L"http://game.valdmark.example/tsly/index.shtml",
                               L"https://bbs.valdmark.example/thread-5974846-1-1.html"}) {
        ASSERT_TRUE(test::NavigateAndWait(Control(), url));
        EXPECT_EQ(ExternalSeenBy(handler.Get()), "no external") << test::Utf8(url);
        EXPECT_EQ(test::ReferenceCount(bridge), bridgeCount);
    }

    ASSERT_TRUE(test::NavigateAndWait(Control(), L"HTTPS://GAME.valdmark.example:443/tsly/x",
                                      L"https://game.valdmark.example/tsly/x"));
    EXPECT_EQ(ExternalSeenBy(handler.Get()), "bridge 1") << "back on an own page";
}

TEST_F(DocHostSite, ASiteThatOutlivesItsControlReachesNothingOfIt)
{
    auto handler = Site<IDocHostUIHandler>();
    auto showUI = Site<IDocHostShowUI>();
    ASSERT_TRUE(test::NavigateAndWait(Control(), test::kOwnPage));
    m_host.Destroy();
    m_host.m_pControl.reset();

    EXPECT_EQ(ExternalSeenBy(handler.Get()), "no external");
    DOCHOSTUIINFO info{};
    info.cbSize = sizeof(info);
    EXPECT_EQ(handler->GetHostInfo(&info), E_NOTIMPL);
    wchar_t text[] = L"x";
    LRESULT pressed = -5;
    EXPECT_EQ(showUI->ShowMessage(nullptr, text, text, MB_OK, nullptr, 0, &pressed), E_NOTIMPL);
    EXPECT_EQ(pressed, -5);
    ComPtr<IOleInPlaceSite> inPlace = Site<IOleInPlaceSite>();
    HWND window = reinterpret_cast<HWND>(1);
    EXPECT_EQ(inPlace->GetWindow(&window), E_FAIL);
    EXPECT_EQ(window, nullptr);
}
