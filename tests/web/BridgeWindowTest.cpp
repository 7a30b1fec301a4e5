// Window methods whose effect a page cannot see, called in this process through the control's
// IDispatch exactly as a page's script calls them: a main window (the application's main-window
// slot) and an update-log dialog, each hosting its own bridge control. Plain Invoke names no
// caller, so each control shows an own HTTPS page, which such calls need.
#include "base/Variant.h"
#include "framework/Dialog.h"
#include "framework/WinApp.h"
#include "res/resource.h"
#include "tests/support/Wait.h"
#include "tests/web/WebHost.h"
#include "web/HostMessages.h"
#include "web/HtmlCtrl.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

// The test program's application object: AfxGetMainWnd reads its main-window slot.
framework::CWinApp g_testApp;

constexpr DWORD kMoveLoopTimeoutMs = 10000;

class HostingDialog : public framework::CDialog {
public:
    HostingDialog(UINT templateId, UINT placeholderId) noexcept
        : CDialog(templateId), m_nPlaceholder(placeholderId)
    {
    }
    // The control's window goes with the dialog's; only then may the control object go.
    ~HostingDialog() override
    {
        if (m_hWnd)
            ::DestroyWindow(m_hWnd);
    }
    [[nodiscard]] bool Open(framework::CWnd* owner) noexcept
    {
        return CreateModeless(owner) && m_control.CreateOverPlaceholder(m_nPlaceholder, this) &&
               test::NavigateAndWait(m_control, test::kOwnPage);
    }
    CHtmlCtrl& Control() noexcept { return m_control; }

private:
    UINT m_nPlaceholder;
    CHtmlCtrl m_control;
};

// Looks the name up and invokes it without arguments, as a page's script does.
HRESULT CallBridge(CHtmlCtrl& control, const wchar_t* name, Variant& result)
{
    IDispatch* dispatch = control.GetIDispatch(false);
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = DISPID_UNKNOWN;
    const HRESULT hr = dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr))
        return hr;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    return dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none,
                            result.Put(), nullptr, nullptr);
}

long CallForLong(CHtmlCtrl& control, const wchar_t* name)
{
    Variant result;
    EXPECT_EQ(CallBridge(control, name, result), S_OK) << "calling " << name;
    EXPECT_EQ(V_VT(result.Get()), VT_I4);
    return V_VT(result.Get()) == VT_I4 ? V_I4(result.Get()) : -1;
}

// Takes this thread's posted messages of one kind for one window out of the queue.
int TakePosted(HWND hwnd, UINT message)
{
    int count = 0;
    MSG msg;
    while (::PeekMessageW(&msg, hwnd, message, message, PM_REMOVE)) {
        EXPECT_EQ(msg.wParam, 0u);
        EXPECT_EQ(msg.lParam, 0);
        ++count;
    }
    return count;
}

bool WaitForMoveLoop(DWORD uiThread, HWND hwnd)
{
    return test::WaitUntil(
        [&] {
            GUITHREADINFO info{};
            info.cbSize = sizeof(info);
            return ::GetGUIThreadInfo(uiThread, &info) && (info.flags & GUI_INMOVESIZE) &&
                   info.hwndMoveSize == hwnd;
        },
        kMoveLoopTimeoutMs);
}

RECT WindowRect(HWND hwnd)
{
    RECT rect{};
    ::GetWindowRect(hwnd, &rect);
    return rect;
}

class BridgeWindows : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_main.Open(nullptr));
        g_testApp.m_pMainWnd = &m_main;
        ASSERT_TRUE(m_log.Open(&m_main));
        ::ShowWindow(m_log.m_hWnd, SW_SHOWNORMAL);
    }
    void TearDown() override { g_testApp.m_pMainWnd = nullptr; }

    HostingDialog m_main{IDD_QUIB_DIALOG, IDC_WEB_PLACEHOLDER};
    HostingDialog m_log{IDD_DIALOG_VER, IDC_LOG_PLACEHOLDER};
};

} // namespace

TEST_F(BridgeWindows, EachPageSeesItsOwnHostAndTheSameMainWindow)
{
    const long main = WindowToLong(m_main.m_hWnd);
    const long log = WindowToLong(m_log.m_hWnd);
    ASSERT_NE(main, log);

    EXPECT_EQ(CallForLong(m_main.Control(), L"GetParentWindow"), main);
    EXPECT_EQ(CallForLong(m_main.Control(), L"GetMainWindow"), main);
    EXPECT_EQ(CallForLong(m_log.Control(), L"GetParentWindow"), log);
    EXPECT_EQ(CallForLong(m_log.Control(), L"GetMainWindow"), main);
    EXPECT_EQ(LongToWindow(CallForLong(m_log.Control(), L"GetParentWindow")), m_log.m_hWnd)
        << "the number must lead back to the window";

    g_testApp.m_pMainWnd = nullptr;
    EXPECT_EQ(CallForLong(m_log.Control(), L"GetMainWindow"), 0);
}

TEST_F(BridgeWindows, FindAndUpdateBeginPostOneMessageToTheirOwnHost)
{
    Variant found, update;
    ASSERT_EQ(CallBridge(m_log.Control(), L"Find", found), S_OK);
    ASSERT_EQ(CallBridge(m_main.Control(), L"UpdateBegin", update), S_OK);

    EXPECT_EQ(V_VT(found.Get()), VT_BOOL);
    EXPECT_EQ(V_BOOL(found.Get()), VARIANT_TRUE);
    EXPECT_EQ(V_VT(update.Get()), VT_BOOL);
    EXPECT_EQ(V_BOOL(update.Get()), VARIANT_TRUE);
    // Still queued after the calls returned: posted, not sent.
    EXPECT_EQ(TakePosted(m_log.m_hWnd, WM_BROWSE_GAME_DIR), 1);
    EXPECT_EQ(TakePosted(m_log.m_hWnd, WM_UPDATE_FOUND), 0);
    EXPECT_EQ(TakePosted(m_main.m_hWnd, WM_UPDATE_FOUND), 1);
    EXPECT_EQ(TakePosted(m_main.m_hWnd, WM_BROWSE_GAME_DIR), 0);
}

TEST_F(BridgeWindows, MaxOrNormalWindowTogglesOnlyItsOwnHost)
{
    Variant result;
    HWND log = m_log.m_hWnd;

    ASSERT_EQ(CallBridge(m_log.Control(), L"MaxOrNormalWindow", result), S_OK);
    EXPECT_TRUE(::IsZoomed(log));
    EXPECT_FALSE(::IsZoomed(m_main.m_hWnd));
    ASSERT_EQ(CallBridge(m_log.Control(), L"MaxOrNormalWindow", result), S_OK);
    EXPECT_FALSE(::IsZoomed(log));
    EXPECT_FALSE(::IsIconic(log));
    EXPECT_TRUE(::IsWindowVisible(log));
    EXPECT_EQ(V_VT(result.Get()), VT_EMPTY);

    ::ShowWindow(log, SW_MINIMIZE);
    ASSERT_EQ(CallBridge(m_log.Control(), L"MaxOrNormalWindow", result), S_OK);
    EXPECT_TRUE(::IsZoomed(log)) << "a minimised window is maximised";
}

TEST_F(BridgeWindows, MoveWindowDragsTheHostUntilTheButtonIsReleased)
{
    HWND log = m_log.m_hWnd;
    ASSERT_TRUE(::SetWindowPos(log, nullptr, 200, 150, 0, 0, SWP_NOSIZE | SWP_NOZORDER));
    // The move starts where the last message found the mouse, as after a press on the page.
    ASSERT_TRUE(::SetCursorPos(300, 200));
    ::PostMessageW(log, WM_NULL, 0, 0);
    MSG msg;
    ASSERT_TRUE(::PeekMessageW(&msg, log, WM_NULL, WM_NULL, PM_REMOVE));
    const RECT before = WindowRect(log);
    const RECT mainBefore = WindowRect(m_main.m_hWnd);

    // The player: waits until the move loop runs, moves the mouse by (40, 30) and lets go.
    std::atomic<bool> sawLoop{false};
    const DWORD uiThread = ::GetCurrentThreadId();
    std::thread player([&] {
        sawLoop = WaitForMoveLoop(uiThread, log);
        ::SetCursorPos(340, 230);
        ::PostMessageW(log, WM_MOUSEMOVE, 0, 0);
        ::PostMessageW(log, WM_LBUTTONUP, 0, 0);
    });
    Variant result;
    const HRESULT hr = CallBridge(m_log.Control(), L"MoveWindow", result);
    player.join();

    EXPECT_EQ(hr, S_OK);
    EXPECT_TRUE(sawLoop) << "the system's move loop never ran on the hosting window";
    const RECT after = WindowRect(log);
    EXPECT_EQ(after.left - before.left, 40);
    EXPECT_EQ(after.top - before.top, 30);
    EXPECT_EQ(WindowRect(m_main.m_hWnd).left, mainBefore.left) << "only the host moves";
    // Mouse messages the loop did not take must not reach a later test.
    while (::PeekMessageW(&msg, log, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) {
    }
}
