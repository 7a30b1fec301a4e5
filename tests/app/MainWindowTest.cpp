// The main window in the test's own process, and its update against the loopback server and the
// programs signed for the run (tests/support/make-signed-programs).
#include "app/Messages.h"
#include "app/PngButton.h"
#include "app/UpdaterFetch.h"
#include "app/UpdaterTrust.h"
#include "res/resource.h"
#include "tests/app/MainWindowFixture.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/WindowDriver.h"
#include "web/HostMessages.h"
#include "web/HtmlCtrl.h"
#include "web/Sites.h"

#include <gtest/gtest.h>

#include <span>

using namespace test;
using app::FetchResult;
using app::UpdaterVerdict;

namespace {

constexpr COLORREF kMarker = RGB(255, 0, 255);
std::vector<LONG> Box(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }
// A 32-bit memory canvas filled with the marker, to read back what is painted on it.
struct Canvas {
    Canvas(int w, int h) : rect{0, 0, w, h}
    {
        BITMAPINFO info{{sizeof(info.bmiHeader), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
        void* bits = nullptr;
        bitmap.Reset(::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        ::SelectObject(dc, bitmap.Get());
        ::SetDCBrushColor(dc, kMarker);
        ::FillRect(dc, &rect, HBRUSH(::GetStockObject(DC_BRUSH)));
    }
    COLORREF At(int x, int y) const { return ::GdiFlush(), ::GetPixel(dc, x, y); }
    // The update button painted through the window's owner-draw message, as the system does.
    void Draw(HWND window, UINT state) const
    {
        HWND button = ::GetDlgItem(window, IDC_BTN_UPDATE);
        DRAWITEMSTRUCT item{ODT_BUTTON, IDC_BTN_UPDATE, 0, ODA_DRAWENTIRE, state, button,
                            dc,         rect,           0};
        ::SendMessageW(window, WM_DRAWITEM, IDC_BTN_UPDATE, LPARAM(&item));
    }

    const RECT rect;
    // Declared first, so that it goes last: the DC goes before the bitmap selected into it.
    UniqueGdiObj bitmap;
    const Unique<NullIsEmpty<HDC, &::DeleteDC>> owner{::CreateCompatibleDC(nullptr)};
    const HDC dc = owner.Get();
};

std::wstring Signed(const wchar_t* name) { return ProgramPath(L"signed\\") + name; }
std::string Bytes(const std::wstring& path) { return ReadFileBytes(path); }

// A program with bytes of its headers replaced: at `offset` from its optional header, or, when
// negative, from its file header's end.
std::string Patched(std::string program, int offset, const std::string& bytes)
{
    const size_t optional = *reinterpret_cast<const uint32_t*>(&program[0x3C]) + 24;
    return program.replace(optional + offset, bytes.size(), bytes);
}
// One that the check takes, but that no system starts: its image size ends before its sections.
std::string Unstartable(const std::string& program)
{
    return Patched(program, 56, {"\0\x10\0\0", 4});
}

// A loopback answer under a token of its own, and what it serves whole (the mode "given").
struct Source {
    std::string token, bytes;
    std::wstring url;
};

Source Answer(const std::string& answer, const std::string& bytes = {})
{
    const std::string token = UniqueToken();
    EXPECT_TRUE(bytes.empty() || WriteFileBytes(ServerFolder() + L"given\\" + Wide(token), bytes));
    return {token, bytes, ServerUrl(token + "/" + answer)};
}

Source Serve(const std::string& bytes) { return Answer("given", bytes); }

} // namespace

TEST_F(MainWindowTest, ShowsTheClientVersionAndSendsItToThePortalAsWritten)
{
    for (const auto& [config, shown] : {
             std::pair<std::string, std::wstring>{"", L""}, // the label's own text must not stay
             {"[quibver]\r\nversion=1.0-beta&x=1\r\n", L"1.0-beta&x=1"},
             {"[quibver]\r\nversion=" + std::string(130, '9') + "\r\n", std::wstring(119, L'9')},
         }) {
        ASSERT_NE(Open(config), nullptr);
        EXPECT_EQ(WindowText(Item(IDC_VERSION)), shown) << config;
        const std::wstring expected =
            std::wstring(web::kPortalSite) + L"/tsly/index.shtml?ToolId=3&ClientVersion=" + shown;
        auto* page = dynamic_cast<CHtmlCtrl*>(
            framework::CWnd::FromHandlePermanent(Item(IDC_WEB_PLACEHOLDER)));
        ASSERT_NE(page, nullptr) << "the placeholder was not replaced by the page";
        EXPECT_TRUE(WaitUntil([&] { return page->GetLocationURL() == expected; }, 5000))
            << "the page went to " << Utf8(page->GetLocationURL());
        Close();
    }
}

TEST_F(MainWindowTest, OpensBorderlessAtTheTopLeftAndItsTitleStripDragsIt)
{
    ASSERT_NE(Open("[quibver]\r\nversion=2.1\r\n"), nullptr);
    RECT window{}, client{};
    ::GetWindowRect(m_hWnd, &window);
    ::GetClientRect(m_hWnd, &client);
    EXPECT_EQ(Box(window), (std::vector<LONG>{0, 0, 800, 600}));
    EXPECT_EQ(Box(client), (std::vector<LONG>{0, 0, 800, 600})) << "no border, no caption";
    // The strip to its last row and right end, through the version label; beside the page, the
    // page, two buttons.
    struct Hit {
        int x, y;
        LRESULT hit;
        int id; // the control asked, or a window in it; 0: the window
    };
    for (const auto& [x, y, hit, id] : {Hit{100, 29, HTCAPTION, 0},
                                        {799, 15, HTCAPTION, 0},
                                        {220, 15, HTCAPTION, 0},
                                        {2, 30, HTCLIENT, 0},
                                        {100, 30, HTCLIENT, IDC_WEB_PLACEHOLDER},
                                        {592, 7, HTCLIENT, IDC_BTN_UPDATE},
                                        {788, 23, HTCLIENT, IDC_BTN_CLOSE}}) {
        HWND asked = ::WindowFromPoint({x, y}), expected = id ? Item(id) : m_hWnd;
        EXPECT_EQ(::SendMessageW(asked, WM_NCHITTEST, 0, MAKELPARAM(x, y)), hit) << x << "," << y;
        EXPECT_TRUE(asked == expected || (id && ::IsChild(expected, asked))) << x << "," << y;
    }
}

TEST_F(MainWindowTest, ImageButtonsPaintOneFrameOfTheirStripAsItIsAndClickAsOften)
{
    ASSERT_NE(Open(), nullptr);
    HWND button = Item(IDC_BTN_UPDATE);
    auto* png = dynamic_cast<PngButton*>(framework::CWnd::FromHandlePermanent(button));
    ASSERT_NE(png, nullptr);
    const Canvas skin(44, 21), blank(20, 12);
    skin.Draw(m_hWnd, 0);
    EXPECT_EQ(skin.At(2, 10), RGB(46, 51, 66)) << "the skin's normal frame";
    EXPECT_EQ(::SendMessageW(button, WM_ERASEBKGND, WPARAM(blank.dc), 0), TRUE);
    EXPECT_EQ(blank.At(5, 5), kMarker) << "the background was erased";
    // A strip of 61 columns, each with a red of its own: frames 15 wide; column 60 is in none.
    Gdiplus::Bitmap strip(61, 10, PixelFormat32bppARGB);
    for (int i = 0; i < 61 * 10; ++i)
        strip.SetPixel(i % 61, i / 61, Gdiplus::Color(255, BYTE(i % 61 * 4), 10, 200));
    ::MoveWindow(button, 120, 7, 90, 40, TRUE);
    png->SetImage(&strip);
    RECT rect{};
    ::GetWindowRect(button, &rect);
    EXPECT_EQ(Box(rect), (std::vector<LONG>{120, 7, 135, 17})) << "one frame, where it stood";
    // The frame painted, every column from it unscaled and nothing beside or below; else -1.
    const auto frame = [&](UINT state) {
        const Canvas canvas(20, 12);
        canvas.Draw(m_hWnd, state);
        const int k = GetRValue(canvas.At(0, 5)) / 60;
        for (int x = 0; x < 20; ++x) {
            if (canvas.At(x, 11) != kMarker ||
                canvas.At(x, 5) != (x < 15 ? RGB((k * 15 + x) * 4, 10, 200) : kMarker))
                return -1;
        }
        return k;
    };
    struct Look {
        UINT mouse; // what the button was told last
        UINT state; // the drawing's item state
        int frame;
    };
    for (const Look& look : {
             Look{WM_MOUSEHOVER, 0, PngButton::kFrameHover},
             Look{WM_MOUSEHOVER, ODS_SELECTED, PngButton::kFramePressed},
             Look{WM_MOUSELEAVE, ODS_FOCUS | ODS_DISABLED, PngButton::kFrameNormal},
         }) {
        ::SendMessageW(button, look.mouse, 0, 0);
        EXPECT_EQ(frame(look.state), look.frame) << look.mouse << ", state " << look.state;
    }
    using Presses = std::vector<std::pair<UINT, int>>; // message, x
    // The settings button pressed as the mouse presses it: a quick second click is a click.
    for (const auto& [presses, clicks] : {
             std::pair{Presses{{WM_LBUTTONDOWN, 5}, {WM_LBUTTONUP, 5}}, 1u},
             {{{WM_LBUTTONDOWN, 5}, {WM_LBUTTONUP, 5}, {WM_LBUTTONDBLCLK, 5}, {WM_LBUTTONUP, 5}},
              2u},
             {{{WM_LBUTTONDOWN, 5}, {WM_LBUTTONUP, 300}}, 0u}, // released outside
         }) {
        BoxAnswerer answerer({{L"设置", IDCANCEL}});
        for (const auto& [message, x] : presses)
            ::SendMessageW(Item(IDC_BTN_SETTINGS), message, MK_LBUTTON, MAKELPARAM(x, 5));
        EXPECT_EQ(answerer.Seen().size(), clicks) << presses.size() << " presses";
        for (const auto& box : answerer.Seen())
            EXPECT_EQ(box.owner, m_hWnd);
    }
    EXPECT_TRUE(::IsWindowEnabled(m_hWnd)) << "the window takes input again";
    ASSERT_TRUE(::SetCursorPos(125, 10)); // the real cursor resting on the button
    ::SendMessageW(button, WM_MOUSEMOVE, 0, MAKELPARAM(5, 3));
    EXPECT_TRUE(WaitUntil([&] { return frame(0) == PngButton::kFrameHover; }, 3000)) << "hover";
    ::DestroyWindow(m_hWnd); // before the strip goes
    EXPECT_EQ(png->GetSafeHwnd(), nullptr) << "the control is detached with its window";
}

TEST_F(MainWindowTest, TheMenusNameWhatTheyWillDoAndDoIt)
{
    ASSERT_NE(Open(), nullptr);
    ::MoveWindow(m_hWnd, 40, 50, 800, 600, TRUE);
    using Strings = std::vector<std::wstring>;
    const Strings hide{L"隐藏窗口", L"", L"退出"}, show{L"显示窗口", L"", L"退出"};
    BoxAnswerer answerer({{L"更新日志", IDCANCEL}});
    struct MenuRow {
        UINT before; // a command first, or 0
        bool tray;   // the icon's menu (a right press from the shell), else the update button's
        int pick;    // the item chosen, -1: none
        Strings items;
        bool shown, open; // the window afterwards
    };
    for (const auto& [before, tray, pick, items, shown, open] : {
             MenuRow{0, false, 1, {L"检查更新", L"更新日志"}, true, true},
             {0u, true, -1, hide, true, true},
             {UINT(IDC_BTN_MIN), true, -1, hide, true, true}, // minimised is visible
             {UINT(ID_TRAY_SHOW), true, -1, show, false, true},
             {0u, true, 0, show, true, true},
             {0u, true, 1, hide, false, false},
         }) {
        SCOPED_TRACE(::testing::Message() << "after " << before << ", item " << pick);
        if (before)
            Command(before);
        const bool shownBefore = IsShown();
        MenuPicker picker(pick, m_hWnd);
        ::SendMessageW(m_hWnd, tray ? WM_TRAY_CALLBACK : WM_COMMAND,
                       tray ? IDR_MAINFRAME : IDC_BTN_UPDATE, tray ? WM_RBUTTONDOWN : 0);
        const SeenMenu menu = picker.Result();
        EXPECT_EQ(menu.items, items);
        EXPECT_EQ(menu.watchedVisible, shownBefore) << "the menu opens without showing the window";
        EXPECT_TRUE(tray || (menu.rect.left == 40 + 592 && menu.rect.top == 50 + 27)) << "place";
        // The log, opened by a posted command, must be over before the next row's menu opens.
        EXPECT_TRUE(WaitUntil(
            [&, s = shown, o = open] {
                return IsShown() == s && IsOpen() == o && answerer.Seen().size() == 1;
            },
            5000))
            << "the update log did not open once";
    }
}

TEST_F(MainWindowTest, ThePagesFindShowsTheFolderBrowserAndNothingElse)
{
    const std::string config = "[Info]\r\nPATH=D:\\Valdmark\r\n";
    ASSERT_NE(Open(config), nullptr);
    auto* page =
        dynamic_cast<CHtmlCtrl*>(framework::CWnd::FromHandlePermanent(Item(IDC_WEB_PLACEHOLDER)));
    ASSERT_NE(page, nullptr);
    // What the window might open instead is answered too, so that it shows.
    BoxAnswerer user({{L"选择文件夹", IDCANCEL}, {L"Browse for Folder", IDCANCEL},
                      {L"QUIB", IDOK}, {L"更新", IDCANCEL}, {L"设置", IDCANCEL}});
    EXPECT_EQ(page->Find(), TRUE);
    EXPECT_TRUE(WaitUntil([&] { return user.Seen().size() == 2; }, 10000));
    EXPECT_EQ(user.Texts(),
              (std::vector<std::wstring>{L"请选择《Valdmark》目录：", L"未指定游戏目录。"}));
    EXPECT_TRUE(IsShown() && TakeQuitMessage() == -1) << "the window went, or quit";
    EXPECT_EQ(ReadFileBytes(m_folder.Path(L"config.ini")), config) << "a cancel stored something";
}

// The tests' list of the keys that may sign the updater (signer A's), made as the program's is.
namespace app {
std::span<const KeyHash> TestUpdaterKeys() noexcept;
}

TEST(UpdaterTrust, StartsOnlyWhatTheKeysOrTheToolsSignatureAllow)
{
    TempDir dir;
    const std::wstring self = Signed(L"quib-a.exe"), build = ProgramPath(L"QUIB.exe"),
                       a = Signed(L"updater-a.exe"), b = Signed(L"updater-b.exe"),
                       changed = Signed(L"updater-a-changed.exe"), page = Signed(L"page.html"),
                       plain = Signed(L"updater-unsigned.exe"),
                       noCodeSigning = Signed(L"updater-a-no-eku.exe");
    const std::string program = Bytes(plain);
    ASSERT_GT(program.size(), 100000u) << "the signed programs are missing";
    const auto write = [&](const wchar_t* name, const std::string& bytes) {
        EXPECT_TRUE(WriteFileBytes(dir.Path(name), bytes));
        return dir.Path(name);
    };
    // Half the stand-in's bytes end within its sections (its debug sections reach far).
    const std::wstring cut = write(L"cut.exe", program.substr(0, program.size() / 2)),
                       arm64 = write(L"arm64.exe", Patched(program, -20, "\x64\xAA")),
                       dll = write(L"dll.exe", Patched(program, -2, "\x22\x20")), // DLL, x64
                       driver = write(L"driver.exe", Patched(program, 68, {"\x01\0", 2})),
                       efi = write(L"efi.exe", Patched(program, 68, {"\x0A\0", 2})),
                       entry = write(L"entry.exe", Patched(program, 16, "\xF0\xFF\xFF\x7F")),
                       damaged = write(L"damaged.exe", Unstartable(program));
    const std::span<const app::KeyHash> none, keyA = app::TestUpdaterKeys();
    ASSERT_EQ(keyA.size(), 1u);
    using V = UpdaterVerdict;
    struct Pair {
        const char* what;
        std::span<const app::KeyHash> keys; // that may sign the updater; none: the tool decides
        std::wstring tool, updater;
        V expected;
    };
    for (const auto& [what, keys, tool, updater, expected] : {
             Pair{"signed tool, same names", none, self, a, V::Accepted},
             {"signed tool, another subject", none, self, b, V::OtherPublisher},
             {"signed tool, A's names and one more", none, self, Signed(L"updater-a-ou.exe"),
              V::OtherPublisher},
             {"signed tool, A's subject from another root", none, self,
              Signed(L"updater-a-other-root.exe"), V::OtherPublisher},
             {"signed tool, A not for code signing", none, self, noCodeSigning,
              V::NotForCodeSigning},
             {"signed tool, a byte changed", none, self, changed, V::BadSignature},
             {"signed tool, unsigned updater", none, self, plain, V::Unsigned},
             // The tool's own signature only names the maker: an expired one must still do.
             {"tool whose signature no longer verifies", none, changed, a, V::Accepted},
             {"unsigned tool, x64", none, build, plain, V::Accepted},
             {"unsigned tool, x86", none, build, Signed(L"program-x86.exe"), V::Accepted},
             // The check reads headers; whether the system will start the image shows later.
             {"unsigned tool, image size short", none, build, damaged, V::Accepted},
             {"unsigned tool, a web page", none, build, page, V::NotAProgram},
             {"5 bytes", none, build, Signed(L"five-bytes.exe"), V::NotAProgram},
             {"cut off", none, build, cut, V::NotAProgram},
             {"ARM64", none, build, arm64, V::NotAProgram},
             {"a library", none, build, dll, V::NotAProgram},
             {"a driver", none, build, driver, V::NotAProgram},
             {"an EFI application", none, build, efi, V::NotAProgram},
             {"an entry point outside every section", none, build, entry, V::NotAProgram},
             {"no file", none, build, dir.Path(L"missing.exe"), V::NotAProgram},
             {"the tool's file unreadable", none, dir.Path(L"gone.exe"), a, V::UnknownTool},
             // With keys, only they count, whatever the tool and the names.
             {"A's key, unsigned tool", keyA, build, a, V::Accepted},
             {"A's key, B with A's subject", keyA, self, Signed(L"updater-b-as-a.exe"),
              V::OtherPublisher},
             {"A's key, A's names made by another", keyA, self, Signed(L"updater-self-a.exe"),
              V::OtherPublisher},
             {"A's key, not for code signing", keyA, self, noCodeSigning, V::NotForCodeSigning},
             {"A's key, unsigned updater", keyA, build, plain, V::Unsigned},
         }) {
        const UniqueFile file(::CreateFileW(updater.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                            OPEN_EXISTING, 0, nullptr));
        EXPECT_EQ(app::VerifyUpdater(tool, file.Get(), updater, keys), expected) << what;
    }
}

TEST(UpdaterFetch, ReportsWhyAFetchFailedAndKeepsWhatWasThere)
{
    ASSERT_NE(Servers().http, 0) << "the loopback servers are not running";
    const std::string token = UniqueToken();
    const auto url = [&](const std::string& answer) { return ServerUrl(token + "/" + answer); };
    TempDir dir;
    const std::wstring target = dir.Path(L"ZantoVkUpdate.exe");
    const app::FetchedFileCheck any = [](HANDLE, const std::wstring&) { return true; };
    // The limits the program uses: a pause of a second must pass, 64 MiB + 1 must not. A stall
    // or a drip lasts as long as the server goes on: each limit alone must end it, in time.
    const app::FetchLimits used = MainWindowPlaces::Default().updater.limits,
                           waits{300, 600'000, used.maxBytes}, whole{600'000, 500, ~0ull};
    const Source paused = Answer("given?delay=1000", "a program");
    using R = FetchResult;
    struct Fetch {
        const char* what;
        std::wstring address;
        app::FetchLimits limits;
        R expected;
    };
    for (const auto& [what, address, limits, expected] : {
             Fetch{"404", url("answer/0/404"), used, R::BadStatus},
             {"206", url("answer/0/206"), used, R::BadStatus},
             {"cut off", url("file/10?drop=5"), used, R::Incomplete},
             {"no length", url("answer/5/200"), used, R::Incomplete},
             // Under Wine a body that lost its last chunk reads as cleanly as a whole one.
             {"chunks without the last", url("chunked/5000/0"), used, R::Incomplete},
             {"empty", url("file/0"), used, R::Incomplete},
             {"no listener", std::wstring(L"http://127.0.0.1:1/"), used, R::NoConnection},
             {"no answer, each wait limited", url("stall"), waits, R::TimedOut},
             {"no answer, the whole limited", url("stall"), whole, R::TimedOut},
             {"a head dripped a byte at a time", url("drip/100/0"), waits, R::TimedOut},
             {"a status line, then header lines dripped", url("drip/100/1"), waits, R::TimedOut},
             {"a body dripped a byte at a time", url("trickle/100/300"), whole, R::TimedOut},
             {"64 MiB and 1 announced", url("trickle/" + std::to_string((64 << 20) + 1)), used,
              R::TooLarge},
             {"4 GiB and 1 announced", url("trickle/" + std::to_string((1ull << 32) + 1)), used,
              R::TooLarge},
             {"a second's pause", paused.url, used, R::Saved},
         }) {
        ASSERT_TRUE(WriteFileBytes(target, "the updater that was there"));
        const ULONGLONG start = ::GetTickCount64();
        EXPECT_EQ(app::FetchUpdater(address, target, any, limits), expected) << what;
        const ULONGLONG took = ::GetTickCount64() - start;
        EXPECT_EQ(TreeBelow(dir.Path()), std::set<std::string>{"ZantoVkUpdate.exe"}) << what;
        EXPECT_EQ(Bytes(target), expected == R::Saved ? paused.bytes : "the updater that was there")
            << what;
        // The limit that ends the fetch, and one second of slack.
        EXPECT_TRUE(expected != R::TimedOut ||
                    took < std::min(limits.stepTimeoutMs, limits.wholeFetchMs) + 1000)
            << what << ": " << took << " ms";
        EXPECT_TRUE(expected != R::Saved || took >= 1000) << what << ": the server did not pause";
    }
}

TEST_F(MainWindowTest, EveryWayIntoAnUpdateStartsOnlyAPassingUpdaterHiddenAndQuitsOnce)
{
    ASSERT_NE(Servers().http, 0) << "the loopback servers are not running";
    const std::string fake = Bytes(ProgramPath(L"fake_updater.exe")),
                      page = Bytes(Signed(L"page.html"));
    const std::string a = Bytes(Signed(L"updater-a.exe")), b = Bytes(Signed(L"updater-b.exe"));
    const std::wstring updater = m_folder.Path(L"ZantoVkUpdate.exe");
    const std::wstring record = m_folder.Path(L"updater-ran.txt"); // the stand-in's starts
    enum Way { Notice, Cancel, Command }; // the page's notice (OK if it asks), Cancel, command
    enum End { Runs, Refused, WontStart }; // started; none passed; it passed but would not start
    enum Trust { Build, SignedA, KeyA };   // the unsigned build, a tool signed by A, A's key listed
    m_updater.limits.maxBytes = a.size();
    struct Row {
        const char* what;
        const char* setting; // [system] autoupdate, or none
        Way way;
        Trust trust;         // what decides the trust
        std::string inPlace; // the updater in place, or none
        Source source;       // where it is fetched from
        size_t requests;     // made there
        End end;
        bool race; // another program is moved over the updater between its check and its start
    };
    for (const auto& [what, setting, way, trust, inPlace, source, requests, end, race] : {
             Row{"setting 1 asks nothing", "1", Notice, Build, {}, Serve(fake), 1, Runs, false},
             Row{"OK in the prompt", "0", Notice, Build, {}, Serve(fake), 1, Runs, false},
             Row{"the command asks nothing", "0", Command, Build, {}, Serve(fake), 1, Runs, false},
             Row{"no setting asks", nullptr, Cancel, Build, {}, Serve(fake), 0, Refused, false},
             Row{"01 asks", "01", Cancel, Build, {}, Serve(fake), 0, Refused, false},
             Row{"2 asks", "2", Cancel, Build, {}, Serve(fake), 0, Refused, false},
             Row{"passing one in place", "1", Notice, Build, fake, Answer("file/9"), 0, Runs,
                 false},
             Row{"5 bytes in place", "1", Notice, Build, "12345", Serve(fake), 1, Runs, false},
             Row{"signed tool, updater A", "0", Notice, SignedA, {}, Serve(a), 1, Runs, false},
             Row{"signed tool, updater B", "0", Notice, SignedA, {}, Serve(b), 1, Refused, false},
             Row{"signed tool, B in place", "1", Notice, SignedA, b, Answer("answer/0/404"), 1,
                 Refused, false},
             Row{"a login page, 200", "0", Notice, Build, {}, Serve(page), 1, Refused, false},
             // It would start were the limits not handed on to the fetch.
             Row{"a byte above the size limit", "1", Notice, Build, {}, Serve(a + '\0'), 1, Refused,
                 false},
             Row{"fetched, will not start", "1", Notice, Build, {}, Serve(Unstartable(fake)), 1,
                 WontStart, false},
             // Were the keys not handed on, the unsigned build would start B.
             Row{"A's key listed, updater B", "1", Notice, KeyA, {}, Serve(b), 1, Refused, false},
             Row{"a swap, in place", "1", Notice, Build, fake, Answer("file/9"), 0, Runs, true},
             Row{"a swap, fetched", "1", Notice, Build, {}, Serve(fake), 1, Runs, true},
         }) {
        SCOPED_TRACE(what);
        m_updater.toolPath = trust == SignedA ? Signed(L"quib-a.exe") : L"";
        m_updater.keys = trust == KeyA ? app::TestUpdaterKeys() : std::span<const app::KeyHash>();
        ASSERT_TRUE(inPlace.empty() || WriteFileBytes(updater, inPlace));
        // A Windows program (this one) tries to put another program in the updater's place.
        TempDir other;
        const std::wstring impostor = other.Path(L"impostor.exe");
        ASSERT_TRUE(::CopyFileW(Signed(L"program-x86.exe").c_str(), impostor.c_str(), FALSE));
        std::string swapped;
        m_updater.beforeStart = nullptr;
        if (race) {
            m_updater.beforeStart = [&] {
                swapped = "tried";
                if (::DeleteFileW(updater.c_str()))
                    swapped += ", deleted it";
                if (UniqueFile(::CreateFileW(updater.c_str(), GENERIC_WRITE, 7, nullptr,
                                             OPEN_EXISTING, 0, nullptr)))
                    swapped += ", opened it for writing";
                if (::MoveFileExW(impostor.c_str(), updater.c_str(), MOVEFILE_REPLACE_EXISTING))
                    swapped += ", moved another program there";
            };
        }
        const std::string config = setting ? std::string("[system]\r\nautoupdate=") + setting : "";
        ASSERT_NE(Open({}, source.url), nullptr); // the setting is read when it is used
        ASSERT_TRUE(WriteFileBytes(m_folder.Path(L"config.ini"), config + "\r\n"));
        // A notice while the first box is up, and the same way in again right after the update.
        bool resent = false;
        BoxAnswerer answerer({{L"更新", way == Cancel ? IDCANCEL : IDOK}}, Whose::ThisProcess, [&] {
            if (!std::exchange(resent, true))
                ::PostMessageW(m_hWnd, WM_UPDATE_FOUND, 0, 0);
        });
        const UINT ask = way == Command ? WM_COMMAND : WM_UPDATE_FOUND;
        ::SendMessageW(m_hWnd, ask, ID_UPDATE_CHECK, 0);
        const int quit = TakeQuitMessage(); // taken first, or it would end a second box at once
        if (way != Cancel)
            ::SendMessageW(m_hWnd, ask, ID_UPDATE_CHECK, 0);
        std::vector<std::wstring> boxes;
        if (way != Command && (!setting || setting != std::string_view("1")))
            boxes.push_back(L"发现服务器有新版本，是否升级？");
        if (way != Cancel && end != Runs)
            boxes.push_back(L"更新工具下载失败!");
        EXPECT_EQ(answerer.Texts(), boxes);
        for (const auto& box : answerer.Seen())
            EXPECT_EQ(box.owner, m_hWnd);
        EXPECT_EQ(quit, way == Cancel ? -1 : 0);
        EXPECT_EQ(TakeQuitMessage(), -1) << "a second quit";
        EXPECT_EQ(RecordedRequests(source.token).size(), requests);
        EXPECT_EQ(swapped, race ? "tried" : "");
        // What is left in place: the started one, or what was there; an updater that would not
        // start is gone, so that the next update fetches a fresh one.
        const std::string left = end == WontStart ? "" : end == Runs && requests ? source.bytes
                                                                                : inPlace;
        EXPECT_TRUE(Bytes(updater) == left) << "in place";
        // A started updater holds its file until it has written its record and ended.
        (void)WaitUntil([&] { return end != Runs || !Bytes(record).empty(); }, 10000);
        (void)WaitUntil([&] { return !FileExists(updater) || ::DeleteFileW(updater.c_str()); },
                        10000);
        EXPECT_EQ(Bytes(record), end == Runs ? "show=0\r\n" : "") << "hidden, once, as checked";
        ::DeleteFileW(record.c_str());
        EXPECT_EQ(TreeBelow(m_folder.Path()), std::set<std::string>{"config.ini"})
            << "neither a temporary file nor a refused updater may stay";
        Close();
    }
}
