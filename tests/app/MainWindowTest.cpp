// The main window: its look, its version and page address, where its title strip drags it, its
// image buttons, and what the buttons and the page's requests open.
#include "app/PngButton.h"
#include "res/resource.h"
#include "tests/app/MainWindowFixture.h"
#include "tests/support/Wait.h"
#include "web/HostMessages.h"
#include "web/HtmlCtrl.h"
#include "web/Sites.h"

#include <gtest/gtest.h>

using test::MainWindowTest;

namespace {

std::vector<LONG> Box(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }
constexpr COLORREF kMarker = RGB(255, 0, 255);

} // namespace

TEST_F(MainWindowTest, OpensBorderlessAtTheTopLeftWithTitleIconAndTaskbarButton)
{
    ASSERT_NE(Open(), nullptr);
    RECT window{}, client{};
    ::GetWindowRect(m_hWnd, &window);
    ::GetClientRect(m_hWnd, &client);
    EXPECT_EQ(Box(window), (std::vector<LONG>{0, 0, 800, 600}));
    EXPECT_EQ(Box(client), (std::vector<LONG>{0, 0, 800, 600})) << "no border, no caption";
    EXPECT_EQ(test::WindowText(m_hWnd), L"ZantoValdmarkolTessaly");
    EXPECT_TRUE(IsShown());
    const LONG_PTR style = ::GetWindowLongPtrW(m_hWnd, GWL_STYLE);
    EXPECT_EQ(style & (WS_CAPTION | WS_THICKFRAME | WS_MINIMIZEBOX), WS_MINIMIZEBOX);
    EXPECT_NE(::GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE) & WS_EX_APPWINDOW, 0);
    HICON icon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
    for (const auto& [message, type] :
         {std::pair{WM_GETICON, ICON_BIG}, {WM_GETICON, ICON_SMALL}, {WM_QUERYDRAGICON, 0}})
        EXPECT_EQ(::SendMessageW(m_hWnd, message, type, 0), LRESULT(icon)) << message << type;
}

TEST_F(MainWindowTest, ShowsTheClientVersionAndSendsItToThePortalAsWritten)
{
    const struct {
        std::string config;
        std::wstring shown;
    } cases[] = {
        {"[quibver]\r\nversion=2.1\r\n", L"2.1"},
        {"", L""},
        {"[quibver]\r\nversion=1.0-beta&x=1\r\n", L"1.0-beta&x=1"},
        {"[quibver]\r\nversion=" + std::string(130, '9') + "\r\n", std::wstring(119, L'9')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.config);
        ASSERT_NE(Open(c.config), nullptr);
        EXPECT_EQ(test::WindowText(Item(IDC_VERSION)), c.shown);
        const std::wstring expected =
            std::wstring(web::kPortalSite) + L"/tsly/index.shtml?ToolId=3&ClientVersion=" + c.shown;
        auto* page = dynamic_cast<CHtmlCtrl*>(
            framework::CWnd::FromHandlePermanent(Item(IDC_WEB_PLACEHOLDER)));
        ASSERT_NE(page, nullptr) << "the placeholder was not replaced by the page";
        EXPECT_TRUE(test::WaitUntil([&] { return page->GetLocationURL() == expected; }, 5000))
            << "the page went to " << test::Utf8(page->GetLocationURL());
        Close();
    }
}

TEST_F(MainWindowTest, TheTitleStripDragsTheWindowAndEachControlTakesItsOwnClicks)
{
    ASSERT_NE(Open("[quibver]\r\nversion=2.1\r\n"), nullptr);
    const struct {
        const char* what;
        int x, y;
        LRESULT hit;
        int id; // the control asked (or a window inside it), 0 for the window itself
    } cases[] = {
        {"the strip", 100, 0, HTCAPTION, 0},
        {"the strip's last row", 100, 29, HTCAPTION, 0},
        {"the strip's right end", 799, 15, HTCAPTION, 0},
        {"the version label lets the drag through", 220, 15, HTCAPTION, 0},
        {"below the strip, beside the page", 2, 30, HTCLIENT, 0},
        {"the page", 100, 30, HTCLIENT, IDC_WEB_PLACEHOLDER},
        {"update", 592, 7, HTCLIENT, IDC_BTN_UPDATE},
        {"help", 687, 26, HTCLIENT, IDC_BTN_HELP},
        {"settings", 710, 20, HTCLIENT, IDC_BTN_SETTINGS},
        {"minimise", 752, 11, HTCLIENT, IDC_BTN_MIN},
        {"close", 788, 23, HTCLIENT, IDC_BTN_CLOSE},
    };
    for (const auto& c : cases) {
        HWND asked = ::WindowFromPoint({c.x, c.y});
        EXPECT_EQ(::SendMessageW(asked, WM_NCHITTEST, 0, MAKELPARAM(c.x, c.y)), c.hit) << c.what;
        HWND expected = c.id ? Item(c.id) : m_hWnd;
        EXPECT_TRUE(asked == expected || (c.id && ::IsChild(expected, asked))) << c.what;
    }
}

TEST_F(MainWindowTest, PaintsTheSkinWithTheVersionInPaleYellowOnIt)
{
    ASSERT_NE(Open("[quibver]\r\nversion=2.1\r\n"), nullptr);
    test::Canvas canvas(800, 600, kMarker);
    EXPECT_NE(::SendMessageW(m_hWnd, WM_ERASEBKGND, WPARAM(canvas.Dc()), 0), 0);
    // Points that tools/render-art paints in known colours: the emblem, the title strip, the
    // left margin, the bottom edge.
    for (const auto& [x, y, colour] : {std::tuple{15, 15, RGB(222, 178, 84)},
                                       {400, 15, RGB(33, 29, 23)},
                                       {2, 100, RGB(20, 18, 16)},
                                       {799, 599, RGB(20, 18, 16)}})
        EXPECT_TRUE(test::SameColour(canvas.Pixel(x, y), colour)) << x << "," << y;

    const LRESULT label =
        ::SendMessageW(m_hWnd, WM_CTLCOLORSTATIC, WPARAM(canvas.Dc()), LPARAM(Item(IDC_VERSION)));
    EXPECT_EQ(label, LRESULT(::GetStockObject(NULL_BRUSH)));
    EXPECT_EQ(::GetTextColor(canvas.Dc()), RGB(255, 255, 187));
    EXPECT_EQ(::GetBkMode(canvas.Dc()), TRANSPARENT);
    const LRESULT other =
        ::SendMessageW(m_hWnd, WM_CTLCOLORBTN, WPARAM(canvas.Dc()), LPARAM(Item(IDC_BTN_HELP)));
    EXPECT_NE(other, LRESULT(::GetStockObject(NULL_BRUSH)));
    EXPECT_EQ(::GetBkMode(canvas.Dc()), OPAQUE) << "other controls keep the default look";
}

TEST_F(MainWindowTest, AnImageButtonShowsTheFrameOfItsStateFixedOverPressedOverHover)
{
    ASSERT_NE(Open(), nullptr);
    HWND button = Item(IDC_BTN_UPDATE);
    auto* png = dynamic_cast<PngButton*>(framework::CWnd::FromHandlePermanent(button));
    ASSERT_NE(png, nullptr);
    // The frame that the parent's owner-draw message paints, told by its face colour at
    // mid-height (normal, hover, pressed, fixed as tools/render-art paints them), or -1.
    const auto frame = [&](UINT state) {
        test::Canvas canvas(44, 21, kMarker);
        DRAWITEMSTRUCT item{ODT_BUTTON,  IDC_BTN_UPDATE, 0, ODA_DRAWENTIRE, state, button,
                            canvas.Dc(), {0, 0, 44, 21}, 0};
        ::SendMessageW(m_hWnd, WM_DRAWITEM, IDC_BTN_UPDATE, LPARAM(&item));
        const COLORREF faces[] = {RGB(46, 51, 66), RGB(69, 84, 123), RGB(31, 36, 49),
                                  RGB(148, 105, 36)};
        for (int k = 0; k < 4; ++k) {
            if (test::SameColour(canvas.Pixel(2, 10), faces[k]))
                return k;
        }
        return -1;
    };
    const struct {
        const char* what;
        UINT mouse; // what the button was told last
        int fixed;
        UINT state;
        int frame;
    } cases[] = {
        {"hover", WM_MOUSEHOVER, 0, 0, PngButton::kFrameHover},
        {"pressed over hover", WM_MOUSEHOVER, 0, ODS_SELECTED, PngButton::kFramePressed},
        {"fixed over pressed", WM_MOUSEHOVER, 1, ODS_SELECTED, PngButton::kFrameFixed},
        {"only 1 fixes the look", WM_MOUSEHOVER, 2, 0, PngButton::kFrameHover},
        {"left, focused and disabled", WM_MOUSELEAVE, 0, ODS_FOCUS | ODS_DISABLED,
         PngButton::kFrameNormal},
    };
    for (const auto& c : cases) {
        ::SendMessageW(button, c.mouse, 0, 0);
        png->m_nFixedState = c.fixed;
        EXPECT_EQ(frame(c.state), c.frame) << c.what;
    }
    // The real cursor resting on the button, then leaving it.
    RECT rect{};
    ::GetWindowRect(button, &rect);
    ASSERT_TRUE(::SetCursorPos(rect.left + 5, rect.top + 5));
    ::SendMessageW(button, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    EXPECT_TRUE(test::WaitUntil([&] { return frame(0) == PngButton::kFrameHover; }, 3000))
        << "the hover notification never came";
    ASSERT_TRUE(::SetCursorPos(rect.left + 300, rect.top + 300));
    EXPECT_TRUE(test::WaitUntil([&] { return frame(0) == PngButton::kFrameNormal; }, 3000))
        << "the leave notification never came";
}

TEST_F(MainWindowTest, AnImageButtonCutsAQuarterOfItsStripWhereItStandsAndNeverScalesOrErases)
{
    ASSERT_NE(Open(), nullptr);
    HWND button = Item(IDC_BTN_UPDATE);
    auto* png = dynamic_cast<PngButton*>(framework::CWnd::FromHandlePermanent(button));
    ASSERT_NE(png, nullptr);
    // 61 columns: frames 15 wide, and column 60 belongs to no frame.
    Gdiplus::Bitmap odd(61, 10, PixelFormat32bppARGB);
    for (int x = 0; x < 61 * 10; ++x)
        odd.SetPixel(x % 61, x / 61, Gdiplus::Color(255, BYTE(x % 61 * 4), 10, 200));
    ::MoveWindow(button, 120, 7, 90, 40, TRUE);
    png->SetImage(&odd);
    RECT rect{};
    ::GetWindowRect(button, &rect);
    EXPECT_EQ(Box(rect), (std::vector<LONG>{120, 7, 120 + 15, 7 + 10}));

    png->m_nFixedState = 1;
    test::Canvas canvas(20, 12, kMarker);
    DRAWITEMSTRUCT item{ODT_BUTTON,  IDC_BTN_UPDATE, 0, ODA_DRAWENTIRE, 0, button,
                        canvas.Dc(), {0, 0, 20, 12}, 0};
    ::SendMessageW(m_hWnd, WM_DRAWITEM, IDC_BTN_UPDATE, LPARAM(&item));
    for (int x = 0; x < 15; ++x) {
        EXPECT_TRUE(test::SameColour(canvas.Pixel(x, 5), RGB((45 + x) * 4, 10, 200)))
            << "column " << x << " must show source column " << 45 + x;
    }
    EXPECT_EQ(::SendMessageW(button, WM_ERASEBKGND, WPARAM(canvas.Dc()), 0), TRUE);
    for (const auto& [x, y] : {std::pair{15, 5}, {19, 5}, {3, 11}})
        EXPECT_EQ(canvas.Pixel(x, y), kMarker) << "painted or erased beside or below the frame";
    ::DestroyWindow(m_hWnd); // before the strip goes
    EXPECT_EQ(png->GetSafeHwnd(), nullptr) << "the control is detached with its window";
}

TEST_F(MainWindowTest, ButtonsAndThePagesRequestsOpenTheirBoxesOwnedByTheWindow)
{
    ASSERT_NE(Open(), nullptr);
    // The settings button, pressed as the mouse presses it: a quick second click is a click.
    const struct {
        const char* what;
        std::vector<std::pair<UINT, int>> presses; // message, x
        size_t clicks;
    } cases[] = {
        {"a click", {{WM_LBUTTONDOWN, 5}, {WM_LBUTTONUP, 5}}, 1},
        {"two quick clicks",
         {{WM_LBUTTONDOWN, 5}, {WM_LBUTTONUP, 5}, {WM_LBUTTONDBLCLK, 5}, {WM_LBUTTONUP, 5}},
         2},
        {"released outside", {{WM_LBUTTONDOWN, 5}, {WM_LBUTTONUP, 300}}, 0},
    };
    for (const auto& c : cases) {
        test::BoxAnswerer answerer({{L"设置", IDCANCEL}});
        for (const auto& [message, x] : c.presses)
            ::SendMessageW(Item(IDC_BTN_SETTINGS), message, MK_LBUTTON, MAKELPARAM(x, 5));
        EXPECT_EQ(answerer.Seen().size(), c.clicks) << c.what;
        for (const auto& box : answerer.Seen())
            EXPECT_EQ(box.owner, m_hWnd) << c.what;
    }
    // The folder browser's caption follows the system's language; a cancel there is answered
    // with the tool's own message.
    test::BoxAnswerer answerer({{L"更新日志", IDCANCEL},
                                {L"选择文件夹", IDCANCEL},
                                {L"Browse for Folder", IDCANCEL},
                                {L"QUIB", IDOK}});
    Command(ID_UPDATE_LOG);
    ::SendMessageW(m_hWnd, WM_BROWSE_GAME_DIR, 0, 0);
    const auto seen = answerer.Seen();
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].caption, L"更新日志");
    EXPECT_EQ(seen[2].text, L"未指定游戏目录。");
    EXPECT_TRUE(seen[0].owner == m_hWnd && seen[2].owner == m_hWnd);
    EXPECT_TRUE(IsShown() && ::IsWindowEnabled(m_hWnd)) << "the window takes input again";
}

TEST_F(MainWindowTest, TheHelpButtonOpensTheHelpPageThroughTheShell)
{
    // The help page handed to this window is a program of the tests that records its start.
    ASSERT_TRUE(::CopyFileW(test::ProgramPath(L"fake_updater.exe").c_str(),
                            m_folder.Path(L"help.exe").c_str(), FALSE));
    ASSERT_NE(Open(), nullptr);
    Command(IDC_BTN_HELP);
    const std::wstring record = m_folder.Path(L"updater-ran.txt");
    EXPECT_TRUE(test::WaitUntil([&] { return test::ReadFileBytes(record) == "show=1\r\n"; }, 10000))
        << "opened with '" << test::ReadFileBytes(record) << "', expected SW_SHOWNORMAL (1)";
    // The program must have let go of its file before the folder goes.
    (void)test::WaitUntil([&] { return ::DeleteFileW(m_folder.Path(L"help.exe").c_str()); }, 10000);
}
