#include "framework/Button.h"
#include "framework/DataExchange.h"
#include "framework/Dialog.h"
#include "framework/WinApp.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

using namespace framework;

namespace {

// The settings template has a check box, an edit box and push buttons: enough to exercise the
// dialog machinery without the settings dialog's own logic.
class ScriptedDialog : public CDialog {
public:
    explicit ScriptedDialog(CWnd* parent = nullptr) : CDialog(IDD_DIALOG_SET, parent) {}

    int m_nCheck = 0;
    std::wstring m_strText = L"initial";
    HWND m_hOwnerSeen = nullptr;
    bool m_bOwnerEnabledWhileModal = true;
    int m_nBrowseClicks = 0;
    // What the dialog does once it is up: the test's user.
    std::function<void(ScriptedDialog&)> m_act;

protected:
    BOOL OnInitDialog() noexcept override
    {
        CDialog::OnInitDialog();
        m_hOwnerSeen = ::GetWindow(m_hWnd, GW_OWNER);
        if (m_hOwnerSeen)
            m_bOwnerEnabledWhileModal = ::IsWindowEnabled(m_hOwnerSeen) != FALSE;
        if (m_act)
            m_act(*this);
        return TRUE;
    }
    void DoDataExchange(CDataExchange* pDX) noexcept override
    {
        DDX_Check(pDX, IDC_CHECK_AUTOSTART, m_nCheck);
        DDX_Text(pDX, IDC_EDIT_GAME_PATH, m_strText);
    }
    bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) noexcept override;

private:
    void OnBrowse() { ++m_nBrowseClicks; }
    static const MessageEntry<ScriptedDialog> s_messageMap[];
};

const MessageEntry<ScriptedDialog> ScriptedDialog::s_messageMap[] = {
    {WM_COMMAND, IDC_BTN_BROWSE, &ScriptedDialog::OnBrowse},
};

bool ScriptedDialog::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) noexcept
{
    if (RouteMessage(*this, s_messageMap, message, wParam, lParam, result))
        return true;
    return CDialog::OnWndMsg(message, wParam, lParam, result);
}

void Post(HWND hwnd, UINT id) { ::PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }

} // namespace

TEST(ModalDialog, OkPullsTheControlsIntoTheMembers)
{
    ScriptedDialog dialog;
    dialog.m_act = [](ScriptedDialog& d) {
        ::SetDlgItemTextW(d.m_hWnd, IDC_EDIT_GAME_PATH, L"D:\\游戏");
        ::CheckDlgButton(d.m_hWnd, IDC_CHECK_AUTOSTART, BST_CHECKED);
        Post(d.m_hWnd, IDOK);
    };
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.m_nCheck, 1);
    EXPECT_EQ(dialog.m_strText, L"D:\\游戏");
}

TEST(ModalDialog, CancelLeavesTheMembersAndInitPushesThem)
{
    ScriptedDialog dialog;
    std::wstring shown;
    dialog.m_act = [&](ScriptedDialog& d) {
        wchar_t text[64] = {};
        ::GetDlgItemTextW(d.m_hWnd, IDC_EDIT_GAME_PATH, text, 64);
        shown = text;
        ::SetDlgItemTextW(d.m_hWnd, IDC_EDIT_GAME_PATH, L"typed");
        Post(d.m_hWnd, IDCANCEL);
    };
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_EQ(shown, L"initial");
    EXPECT_EQ(dialog.m_strText, L"initial");
}

TEST(ModalDialog, CommandsReachTheMessageMap)
{
    ScriptedDialog dialog;
    dialog.m_act = [](ScriptedDialog& d) {
        Post(d.m_hWnd, IDC_BTN_BROWSE);
        Post(d.m_hWnd, IDC_BTN_BROWSE);
        Post(d.m_hWnd, IDCANCEL);
    };
    (void)dialog.DoModal();
    EXPECT_EQ(dialog.m_nBrowseClicks, 2);
}

TEST(ModalDialog, QuitEndsTheLoopAndIsPostedAgainForTheEnclosingLoop)
{
    ScriptedDialog dialog;
    dialog.m_act = [](ScriptedDialog&) { ::PostQuitMessage(5); };
    EXPECT_EQ(dialog.DoModal(), -1);
    MSG msg;
    ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
        << "the quit must stay in the queue for the outer loop";
    EXPECT_EQ(msg.wParam, 5u);
}

TEST(ModalDialog, WithoutParentTheMainWindowOwnsItAndIsDisabledMeanwhile)
{
    CWinApp app;
    ScriptedDialog main;
    ASSERT_TRUE(main.CreateModeless(nullptr));
    app.m_pMainWnd = &main;

    ScriptedDialog dialog;
    dialog.m_act = [](ScriptedDialog& d) { Post(d.m_hWnd, IDCANCEL); };
    (void)dialog.DoModal();
    EXPECT_EQ(dialog.m_hOwnerSeen, main.m_hWnd);
    EXPECT_FALSE(dialog.m_bOwnerEnabledWhileModal);
    EXPECT_TRUE(::IsWindowEnabled(main.m_hWnd)) << "the owner is enabled again afterwards";
    app.m_pMainWnd = nullptr;
    ::DestroyWindow(main.m_hWnd);
}

namespace {

class RecordingButton : public CButton {
public:
    int m_nDraws = 0;

protected:
    void DrawItem(const DRAWITEMSTRUCT& item) noexcept override
    {
        if (item.CtlType == ODT_BUTTON)
            ++m_nDraws;
    }
};

class OwnerDrawHost : public CDialog {
public:
    OwnerDrawHost() : CDialog(IDD_QUIB_DIALOG) {}
    RecordingButton m_btnClose;

protected:
    void DoDataExchange(CDataExchange* pDX) noexcept override
    {
        DDX_Control(pDX, IDC_BTN_CLOSE, m_btnClose);
    }
};

} // namespace

TEST(ControlBinding, DataExchangeSubclassesAndOwnerDrawIsReflected)
{
    OwnerDrawHost host;
    ASSERT_TRUE(host.CreateModeless(nullptr));
    HWND button = ::GetDlgItem(host.m_hWnd, IDC_BTN_CLOSE);
    EXPECT_EQ(CWnd::FromHandlePermanent(button), &host.m_btnClose);

    DRAWITEMSTRUCT item{};
    item.CtlType = ODT_BUTTON;
    item.CtlID = IDC_BTN_CLOSE;
    item.hwndItem = button;
    item.hDC = ::GetDC(button);
    EXPECT_EQ(::SendMessageW(host.m_hWnd, WM_DRAWITEM, IDC_BTN_CLOSE,
                             reinterpret_cast<LPARAM>(&item)),
              TRUE);
    ::ReleaseDC(button, item.hDC);
    EXPECT_EQ(host.m_btnClose.m_nDraws, 1);
    ::DestroyWindow(host.m_hWnd);
    EXPECT_EQ(host.m_btnClose.GetSafeHwnd(), nullptr) << "the control is detached with its window";
}
