// The main window: its look, version, page address, title strip, image buttons and boxes.
#include "app/Messages.h"
#include "app/PngButton.h"
#include "res/resource.h"
#include "tests/app/MainWindowFixture.h"
#include "tests/support/Wait.h"
#include "web/HtmlCtrl.h"
#include "web/Sites.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace test;

namespace {

constexpr COLORREF kMarker = RGB(255, 0, 255);
std::vector<LONG> Box(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }
// A 32-bit memory canvas filled with the marker, to read back what is painted on it.
struct Canvas {
    Canvas(int w, int h) : rect{0, 0, w, h}
    {
        BITMAPINFO info{{sizeof(info.bmiHeader), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
        void* bits = nullptr;
        bitmap = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        ::SelectObject(dc, bitmap);
        ::SetDCBrushColor(dc, kMarker);
        ::FillRect(dc, &rect, HBRUSH(::GetStockObject(DC_BRUSH)));
    }
    ~Canvas() { ::DeleteDC(dc), ::DeleteObject(bitmap); }
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
    HDC dc = ::CreateCompatibleDC(nullptr);
    HBITMAP bitmap = nullptr;
};

} // namespace

TEST_F(MainWindowTest, OpensBorderlessAtTheTopLeftWithItsTitleAndSkin)
{
    ASSERT_NE(Open("[quibver]\r\nversion=2.1\r\n"), nullptr);
    RECT window{}, client{};
    ::GetWindowRect(m_hWnd, &window);
    ::GetClientRect(m_hWnd, &client);
    EXPECT_EQ(Box(window), (std::vector<LONG>{0, 0, 800, 600}));
    EXPECT_EQ(Box(client), (std::vector<LONG>{0, 0, 800, 600})) << "no border, no caption";
    EXPECT_EQ(WindowText(m_hWnd), L"ZantoValdmarkolTessaly");

    Canvas canvas(800, 600);
    EXPECT_NE(::SendMessageW(m_hWnd, WM_ERASEBKGND, WPARAM(canvas.dc), 0), 0);
    // Points that tools/render-art paints in known colours: the emblem, the title strip, the
    // left margin, the bottom edge.
    for (const auto& [x, y, colour] : {std::tuple{15, 15, RGB(222, 178, 84)},
                                       {400, 15, RGB(33, 29, 23)},
                                       {2, 100, RGB(20, 18, 16)},
                                       {799, 599, RGB(20, 18, 16)}})
        EXPECT_EQ(canvas.At(x, y), colour) << x << "," << y;
}

TEST_F(MainWindowTest, ShowsTheClientVersionAndSendsItToThePortalAsWritten)
{
    for (const auto& [config, shown] : {
             std::pair<std::string, std::wstring>{"[quibver]\r\nversion=2.1\r\n", L"2.1"},
             {"", L""}, // the label's own text must not stay
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

TEST_F(MainWindowTest, TheTitleStripDragsTheWindowAndEachControlTakesItsOwnClicks)
{
    ASSERT_NE(Open("[quibver]\r\nversion=2.1\r\n"), nullptr);
    // A point, what is answered there, and the control asked (or a window inside it; 0 for
    // the main window): the strip to its last row and its right end, the version label letting
    // the drag through, below the strip beside the page, the page, two buttons.
    for (const auto& [x, y, hit, id] : {std::tuple{100, 0, HTCAPTION, 0},
                                        {100, 29, HTCAPTION, 0},
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
    // The frame painted on a larger canvas: every column from that frame, unscaled, and
    // nothing beside or below it; otherwise -1.
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
    // What the button was told last, its fixed state, the drawing's state, the frame.
    for (const auto& [mouse, fixed, state, expected] : {
             std::tuple{WM_MOUSEHOVER, 0, 0u, PngButton::kFrameHover},
             {WM_MOUSEHOVER, 0, UINT(ODS_SELECTED), PngButton::kFramePressed},
             {WM_MOUSEHOVER, 1, UINT(ODS_SELECTED), PngButton::kFrameFixed},
             {WM_MOUSEHOVER, 2, 0u, PngButton::kFrameHover}, // only 1 fixes the look
             {WM_MOUSELEAVE, 0, UINT(ODS_FOCUS | ODS_DISABLED), PngButton::kFrameNormal},
         }) {
        ::SendMessageW(button, mouse, 0, 0);
        png->m_nFixedState = fixed;
        EXPECT_EQ(frame(state), expected) << mouse << ", fixed " << fixed << ", state " << state;
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
    // The real cursor resting on the button, then leaving it.
    ASSERT_TRUE(::SetCursorPos(125, 10));
    ::SendMessageW(button, WM_MOUSEMOVE, 0, MAKELPARAM(5, 3));
    EXPECT_TRUE(WaitUntil([&] { return frame(0) == PngButton::kFrameHover; }, 3000));
    ASSERT_TRUE(::SetCursorPos(400, 400));
    EXPECT_TRUE(WaitUntil([&] { return frame(0) == PngButton::kFrameNormal; }, 3000));
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
    // A command sent first (or 0); the icon's menu (as the shell reports a right press) or the
    // update button's; the item chosen (-1 closes the menu); the items; whether the window is
    // shown and open afterwards.
    for (const auto& [before, tray, pick, items, shown, open] : {
             std::tuple{0u, false, 1, Strings{L"检查更新", L"更新日志"}, true, true},
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
        EXPECT_TRUE(
            WaitUntil([&, s = shown, o = open] { return IsShown() == s && IsOpen() == o; }, 5000));
    }
    EXPECT_EQ(answerer.Seen().size(), 1u) << "the update log opened once";
}
