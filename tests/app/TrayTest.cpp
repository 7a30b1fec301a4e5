// The tray icon itself, under Xvfb with Wine's X11 driver (tests/app/run-tray-tests). Wine shows
// a top-level window titled "Wine System Tray" only while at least one notification icon exists,
// so its visibility tells whether QUIB's icon is there; each icon is a child window of it that
// passes mouse presses on to the icon's owner as the shell does on Windows.
#include "res/resource.h"
#include "tests/app/MainWindowFixture.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/Wait.h"
#include "web/HostMessages.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

using test::MainWindowTest;

namespace {

constexpr DWORD kWaitMs = 5000;

HWND TrayWindow() { return ::FindWindowW(nullptr, L"Wine System Tray"); }

bool TrayShown()
{
    HWND tray = TrayWindow();
    return tray && ::IsWindowVisible(tray);
}

// The single icon in the tray (the tests run in a Wine session of their own).
HWND TrayIcon() { return ::GetWindow(TrayWindow(), GW_CHILD); }

void PressIcon(UINT down, UINT up)
{
    HWND icon = TrayIcon();
    ::PostMessageW(icon, down, 0, MAKELPARAM(5, 5));
    ::PostMessageW(icon, up, 0, MAKELPARAM(5, 5));
}

// The main window run modally, as the program runs it, noting whether the tray icon was there
// just before and just after its cancel operation, while the window still exists.
class ObservedWindow : public CQUIBDlg {
public:
    using CQUIBDlg::CQUIBDlg;

    std::function<void(HWND)> m_act;
    bool m_bIconBeforeCancel = false;
    bool m_bIconAfterCancel = true;
    bool m_bIconAtDestroy = true;
    int m_nCancels = 0;

protected:
    BOOL OnInitDialog() noexcept override
    {
        const BOOL result = CQUIBDlg::OnInitDialog();
        if (m_act)
            m_act(m_hWnd);
        return result;
    }
    bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) noexcept override
    {
        if (message == WM_DESTROY)
            m_bIconAtDestroy = TrayShown();
        return CQUIBDlg::OnWndMsg(message, wParam, lParam, result);
    }
    void OnCancel() noexcept override
    {
        ++m_nCancels;
        m_bIconBeforeCancel = TrayShown();
        CQUIBDlg::OnCancel();
        m_bIconAfterCancel = TrayShown();
    }
};

void Post(HWND window, UINT message, WPARAM wParam = 0)
{
    ::PostMessageW(window, message, wParam, 0);
}

} // namespace

class TrayTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        ASSERT_FALSE(TrayShown()) << "another icon is in the tray";
    }
};

TEST_F(TrayTest, TheIconComesWithTheWindowAndItsPressesReachIt)
{
    ASSERT_NE(Open(), nullptr);
    ASSERT_TRUE(TrayShown()) << "no icon was added";
    ASSERT_NE(TrayIcon(), nullptr);

    PressIcon(WM_LBUTTONDOWN, WM_LBUTTONUP);
    EXPECT_TRUE(test::WaitUntil([&] { return !::IsWindowVisible(m_hWnd); }, kWaitMs))
        << "a left press on the icon hides the window";
    EXPECT_TRUE(TrayShown()) << "the icon stays while the window is hidden";

    {
        test::MenuPicker picker(-1, m_hWnd);
        PressIcon(WM_RBUTTONDOWN, WM_RBUTTONUP);
        ASSERT_TRUE(test::WaitUntil([&] { return picker.Done(); }, 2 * kWaitMs));
        const test::SeenMenu menu = picker.Result();
        ASSERT_FALSE(menu.items.empty());
        EXPECT_EQ(menu.items[0], L"显示窗口");
        EXPECT_FALSE(menu.watchedVisible);
    }

    PressIcon(WM_LBUTTONDOWN, WM_LBUTTONUP);
    EXPECT_TRUE(test::WaitUntil([&] { return ::IsWindowVisible(m_hWnd) != FALSE; }, kWaitMs))
        << "a second left press brings it back";
}

TEST_F(TrayTest, HidingToTheTrayKeepsTheIcon)
{
    ASSERT_NE(Open("[system]\r\nexit=1\r\n"), nullptr);
    Command(IDC_BTN_CLOSE);
    EXPECT_FALSE(::IsWindowVisible(m_hWnd));
    EXPECT_TRUE(TrayShown());
}

TEST_F(TrayTest, EveryWayOutRemovesTheIconBeforeTheWindowGoes)
{
    const struct {
        const char* what;
        const char* config;
        UINT message;
        WPARAM wParam;
    } ways[] = {
        {"tray menu exit", "[system]\r\nexit=1\r\n", WM_COMMAND, ID_TRAY_EXIT},
        {"close button with exit=2", "[system]\r\nexit=2\r\n", WM_COMMAND, IDC_BTN_CLOSE},
        {"Yes in the close prompt", "[system]\r\nexit=0\r\n", WM_COMMAND, IDC_BTN_CLOSE},
        {"Esc", "[system]\r\nexit=1\r\n", WM_COMMAND, IDCANCEL},
        {"Alt+F4 or the taskbar", "[system]\r\nexit=1\r\n", WM_CLOSE, 0},
    };
    for (const auto& way : ways) {
        WriteConfig(way.config);
        ObservedWindow window(Places());
        m_app.m_pMainWnd = &window;
        window.m_act = [&](HWND hwnd) { Post(hwnd, way.message, way.wParam); };
        test::BoxAnswerer answerer({{L"关闭", IDYES}});
        EXPECT_EQ(window.DoModal(), IDCANCEL) << way.what;
        m_app.m_pMainWnd = nullptr;
        EXPECT_EQ(window.m_nCancels, 1) << way.what;
        EXPECT_TRUE(window.m_bIconBeforeCancel) << way.what << ": the icon was never there";
        EXPECT_FALSE(window.m_bIconAfterCancel) << way.what << ": the icon outlived the cancel";
        EXPECT_FALSE(TrayShown()) << way.what;
    }
}

TEST_F(TrayTest, TheIconStaysThroughTheUpdateAndGoesWithItsQuit)
{
    ASSERT_NE(test::Servers().http, 0) << "the loopback servers are not running";
    WriteConfig("[system]\r\nautoupdate=1\r\n");
    // A server that never answers holds the fetch until its whole limit ends it.
    const std::string token = test::UniqueToken();
    m_updaterLimits.wholeFetchMs = kWaitMs;
    ObservedWindow window(Places(test::CaseUrl(token, "stall")));
    m_app.m_pMainWnd = &window;
    bool iconBeforeNotice = false;
    window.m_act = [&](HWND hwnd) {
        iconBeforeNotice = TrayShown();
        Post(hwnd, WM_UPDATE_FOUND);
    };
    // Looked at from a thread of its own while the window's thread waits in the fetch.
    std::atomic<int> iconDuringFetch{-1};
    std::thread watcher([&] {
        if (test::WaitUntil([&] { return !test::RecordedRequests(token).empty(); }, kWaitMs))
            iconDuringFetch = TrayShown();
    });
    // And once more while the failure is reported, after the fetch.
    bool iconWhileReporting = false;
    test::BoxAnswerer answerer({{L"更新", IDOK}}, test::Whose::ThisProcess,
                               [&] { iconWhileReporting = TrayShown(); });

    EXPECT_EQ(window.DoModal(), -1) << "the quit ends the window's loop";
    watcher.join();
    m_app.m_pMainWnd = nullptr;
    EXPECT_EQ(test::TakeQuitMessage(), 0);
    ASSERT_EQ(answerer.Seen().size(), 1u) << "the failed fetch is reported";
    EXPECT_TRUE(iconBeforeNotice);
    EXPECT_EQ(iconDuringFetch, 1) << "-1: the fetch never reached the server";
    EXPECT_TRUE(iconWhileReporting) << "the icon went before the update had ended";
    EXPECT_EQ(window.m_nCancels, 0) << "the updater's quit does not pass the cancel";
    EXPECT_FALSE(window.m_bIconAtDestroy) << "the icon did not go with the quit";
    EXPECT_FALSE(TrayShown());
}
