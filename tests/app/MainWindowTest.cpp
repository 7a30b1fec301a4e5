// The main window's look and layout, its page address and its title strip.
#include "res/resource.h"
#include "tests/app/Canvas.h"
#include "tests/app/MainWindowFixture.h"
#include "tests/support/Files.h"
#include "tests/support/Wait.h"
#include "web/HostMessages.h"
#include "web/Sites.h"

#include <gtest/gtest.h>

using test::MainWindowTest;
using test::WindowText;

namespace {

std::wstring PortalAddress(const std::wstring& version)
{
    return std::wstring(web::kPortalSite) + L"/tsly/index.shtml?ToolId=3&ClientVersion=" + version;
}

void ExpectRect(const RECT& rect, int x, int y, int width, int height, const char* what)
{
    EXPECT_EQ(rect.left, x) << what;
    EXPECT_EQ(rect.top, y) << what;
    EXPECT_EQ(rect.right - rect.left, width) << what;
    EXPECT_EQ(rect.bottom - rect.top, height) << what;
}

} // namespace

TEST_F(MainWindowTest, OpensBorderlessAtTheTopLeftWithTitleIconAndTaskbarButton)
{
    ASSERT_NE(Open(), nullptr);
    RECT window{}, client{};
    ::GetWindowRect(m_hWnd, &window);
    ::GetClientRect(m_hWnd, &client);
    ExpectRect(window, 0, 0, 800, 600, "window");
    ExpectRect(client, 0, 0, 800, 600, "client area: no border, no caption");
    EXPECT_EQ(WindowText(m_hWnd), L"ZantoValdmarkolTessaly");
    EXPECT_TRUE(::IsWindowVisible(m_hWnd));

    const LONG_PTR style = ::GetWindowLongPtrW(m_hWnd, GWL_STYLE);
    EXPECT_EQ(style & WS_CAPTION, 0) << "borderless";
    EXPECT_EQ(style & WS_THICKFRAME, 0);
    EXPECT_NE(style & WS_MINIMIZEBOX, 0) << "it can be minimised to the taskbar";
    EXPECT_NE(::GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE) & WS_EX_APPWINDOW, 0)
        << "it has a taskbar button";

    HICON icon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
    EXPECT_EQ(reinterpret_cast<HICON>(::SendMessageW(m_hWnd, WM_GETICON, ICON_BIG, 0)), icon);
    EXPECT_EQ(reinterpret_cast<HICON>(::SendMessageW(m_hWnd, WM_GETICON, ICON_SMALL, 0)), icon);
    EXPECT_EQ(reinterpret_cast<HICON>(::SendMessageW(m_hWnd, WM_QUERYDRAGICON, 0, 0)), icon);
}

TEST_F(MainWindowTest, ShowsTheClientVersionAndSendsItToThePortalAsWritten)
{
    const struct {
        const char* config;
        std::wstring shown;
    } cases[] = {
        {"[quibver]\r\nversion=2.1\r\n", L"2.1"},
        {"", L""},
        {"[quibver]\r\nversion=\r\n", L""},
        {"[system]\r\nexit=1\r\n", L""},
        {"[quibver]\r\nversion=1.0-beta&x=1\r\n", L"1.0-beta&x=1"},
    };
    for (const auto& c : cases) {
        ASSERT_NE(Open(c.config), nullptr);
        EXPECT_EQ(WindowText(Item(IDC_VERSION)), c.shown) << c.config;
        EXPECT_TRUE(PageWentTo(PortalAddress(c.shown))) << c.config;
        Close();
        ::DeleteFileW(m_folder.Path(L"config.ini").c_str());
    }
}

TEST_F(MainWindowTest, AVersionLongerThanTheBufferIsCutTo119Characters)
{
    const std::string version(130, '9');
    ASSERT_NE(Open("[quibver]\r\nversion=" + version + "\r\n"), nullptr);
    const std::wstring cut(119, L'9');
    EXPECT_EQ(WindowText(Item(IDC_VERSION)), cut);
    EXPECT_TRUE(PageWentTo(PortalAddress(cut)));
}

TEST_F(MainWindowTest, PlacesTheLabelThePageAndTheFiveButtons)
{
    ASSERT_NE(Open("[quibver]\r\nversion=2.1\r\n"), nullptr);
    ExpectRect(ChildRect(IDC_VERSION), 213, 12, 40, 15, "version label");
    ExpectRect(ChildRect(IDC_WEB_PLACEHOLDER), 4, 30, 796, 566, "page");
    EXPECT_NE(test::ClassName(Item(IDC_WEB_PLACEHOLDER)), L"Static")
        << "the placeholder was replaced";

    ExpectRect(ChildRect(IDC_BTN_UPDATE), 591, 6, 44, 21, "update button");
    ExpectRect(ChildRect(IDC_BTN_HELP), 644, 6, 44, 21, "help button");
    ExpectRect(ChildRect(IDC_BTN_SETTINGS), 697, 6, 44, 21, "settings button");
    ExpectRect(ChildRect(IDC_BTN_MIN), 750, 9, 15, 15, "minimise button");
    ExpectRect(ChildRect(IDC_BTN_CLOSE), 774, 9, 15, 15, "close button");
}

TEST_F(MainWindowTest, TheTitleStripDragsTheWindowExceptOnTheButtons)
{
    ASSERT_NE(Open("[quibver]\r\nversion=2.1\r\n"), nullptr);
    // The window the system would ask at a point, and what it answers there.
    const auto hitAt = [](int x, int y, HWND& asked) {
        const POINT point{x, y};
        asked = ::WindowFromPoint(point);
        return ::SendMessageW(asked, WM_NCHITTEST, 0, MAKELPARAM(x, y));
    };
    HWND asked = nullptr;
    EXPECT_EQ(hitAt(100, 0, asked), HTCAPTION);
    EXPECT_EQ(asked, m_hWnd);
    EXPECT_EQ(hitAt(100, 29, asked), HTCAPTION) << "the strip's last row";
    EXPECT_EQ(hitAt(799, 15, asked), HTCAPTION) << "the strip's right end";
    EXPECT_EQ(hitAt(220, 15, asked), HTCAPTION) << "the version label lets the drag through";
    EXPECT_EQ(asked, m_hWnd);

    EXPECT_EQ(hitAt(2, 30, asked), HTCLIENT) << "below the strip";
    EXPECT_EQ(asked, m_hWnd);
    EXPECT_EQ(hitAt(100, 30, asked), HTCLIENT);
    HWND page = Item(IDC_WEB_PLACEHOLDER);
    EXPECT_TRUE(asked == page || ::IsChild(page, asked))
        << "the page (or the browser inside it) takes its own clicks";
    EXPECT_EQ(hitAt(600, 10, asked), HTCLIENT);
    EXPECT_EQ(asked, Item(IDC_BTN_UPDATE)) << "a button takes its own clicks";
}

TEST_F(MainWindowTest, TheVersionLiesOnTheBackgroundInPaleYellow)
{
    ASSERT_NE(Open("[quibver]\r\nversion=2.1\r\n"), nullptr);
    test::Canvas canvas(40, 15, RGB(0, 0, 0));
    const LRESULT labelBrush =
        ::SendMessageW(m_hWnd, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(canvas.Dc()),
                       reinterpret_cast<LPARAM>(Item(IDC_VERSION)));
    EXPECT_EQ(labelBrush, reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH)));
    EXPECT_EQ(::GetTextColor(canvas.Dc()), RGB(255, 255, 187));
    EXPECT_EQ(::GetBkMode(canvas.Dc()), TRANSPARENT);

    ::SetBkMode(canvas.Dc(), TRANSPARENT);
    const LRESULT otherBrush =
        ::SendMessageW(m_hWnd, WM_CTLCOLORBTN, reinterpret_cast<WPARAM>(canvas.Dc()),
                       reinterpret_cast<LPARAM>(Item(IDC_BTN_HELP)));
    EXPECT_NE(otherBrush, reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH)));
    EXPECT_EQ(::GetBkMode(canvas.Dc()), OPAQUE) << "other controls keep the default look";
}

TEST_F(MainWindowTest, TheBackgroundPaintsTheSkinPicture)
{
    ASSERT_NE(Open(), nullptr);
    test::Canvas canvas(800, 600, RGB(255, 0, 255));
    EXPECT_NE(::SendMessageW(m_hWnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(canvas.Dc()), 0), 0);
    // Points of the picture that tools/render-art paints in known colours.
    EXPECT_TRUE(test::SameColour(canvas.Pixel(15, 15), RGB(222, 178, 84))) << "the emblem";
    EXPECT_TRUE(test::SameColour(canvas.Pixel(400, 15), RGB(33, 29, 23))) << "the title strip";
    EXPECT_TRUE(test::SameColour(canvas.Pixel(2, 100), RGB(20, 18, 16))) << "the left margin";
    EXPECT_TRUE(test::SameColour(canvas.Pixel(799, 599), RGB(20, 18, 16))) << "the bottom edge";
}

TEST_F(MainWindowTest, TheMinimiseButtonKeepsTheTaskbarButton)
{
    ASSERT_NE(Open(), nullptr);
    Command(IDC_BTN_MIN);
    EXPECT_TRUE(::IsIconic(m_hWnd));
    EXPECT_TRUE(::IsWindowVisible(m_hWnd));
}

TEST_F(MainWindowTest, TheSettingsButtonAndTheUpdateLogRunTheirDialogsOwnedByTheWindow)
{
    ASSERT_NE(Open(), nullptr);
    test::BoxAnswerer answerer({{L"设置", IDCANCEL}, {L"更新日志", IDCANCEL}});
    Command(IDC_BTN_SETTINGS);
    Command(ID_UPDATE_LOG);
    const auto seen = answerer.Seen();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].caption, L"设置");
    EXPECT_EQ(seen[0].owner, m_hWnd);
    EXPECT_EQ(seen[1].caption, L"更新日志");
    EXPECT_EQ(seen[1].owner, m_hWnd);
    EXPECT_TRUE(::IsWindowEnabled(m_hWnd)) << "the window takes input again afterwards";
}

TEST_F(MainWindowTest, ThePagesRequestRunsTheGameDirectoryChoice)
{
    ASSERT_NE(Open(), nullptr);
    // The folder browser's caption follows the system's language; a cancel there is answered
    // with the tool's own message.
    test::BoxAnswerer answerer(
        {{L"选择文件夹", IDCANCEL}, {L"Browse for Folder", IDCANCEL}, {L"QUIB", IDOK}});
    ::PostMessageW(m_hWnd, WM_BROWSE_GAME_DIR, 0, 0);
    ASSERT_TRUE(test::WaitUntil([&] { return answerer.Seen().size() >= 2; }, 20000))
        << "the folder browser and the message did not both appear";
    const auto seen = answerer.Seen();
    EXPECT_EQ(seen.back().caption, L"QUIB");
    EXPECT_EQ(seen.back().text, L"未指定游戏目录。");
    EXPECT_TRUE(IsOpen()) << "the tool keeps running";
}

TEST_F(MainWindowTest, TheHelpButtonOpensTheHelpPageThroughTheShell)
{
    // The help page handed to this window is a program of the tests that records its start.
    ASSERT_TRUE(::CopyFileW(test::ProgramPath(L"fake_updater.exe").c_str(),
                            m_folder.Path(L"help.exe").c_str(), FALSE));
    ASSERT_NE(Open(), nullptr);
    Command(IDC_BTN_HELP);
    const std::wstring record = m_folder.Path(L"updater-ran.txt");
    ASSERT_TRUE(test::WaitUntil([&] { return test::FileExists(record); }, 10000))
        << "the help page was not opened";
    EXPECT_TRUE(test::WaitUntil([&] { return test::ReadFileBytes(record) == "show=1\r\n"; }, 5000))
        << "opened with " << test::ReadFileBytes(record) << ", expected SW_SHOWNORMAL (1)";
    EXPECT_TRUE(IsOpen()) << "the tool keeps running";
    // The program must have let go of its file before the folder goes.
    (void)test::WaitUntil(
        [&] { return ::DeleteFileW(m_folder.Path(L"help.exe").c_str()) != FALSE; }, 10000);
}
