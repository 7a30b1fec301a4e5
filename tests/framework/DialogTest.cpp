// The modal loop of the dialog framework: its owner, OK and Cancel with data exchange both ways,
// and a quit arriving while it runs.
#include "framework/Dialog.h"
#include "framework/DataExchange.h"
#include "framework/WinApp.h"
#include "res/resource.h"
#include "tests/support/WindowDriver.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

// The settings template has a check box and an edit box: enough to exercise the machinery
// without the settings dialog's own logic. Once up, it types a path, ticks the box and ends
// with a command, or a quit with exit code 5 (WM_QUIT), as the user or the program would.
class ScriptedDialog : public framework::CDialog {
public:
    explicit ScriptedDialog(UINT end) : CDialog(IDD_DIALOG_SET), m_nEnd(end) {}

    int m_nCheck = 0;
    std::wstring m_strText = L"initial";
    std::wstring m_strShown; // in the edit box once the dialog is up
    HWND m_hOwner = nullptr;
    BOOL m_bOwnerEnabled = TRUE;

protected:
    BOOL OnInitDialog() noexcept override
    {
        CDialog::OnInitDialog();
        m_strShown = test::WindowText(::GetDlgItem(m_hWnd, IDC_EDIT_GAME_PATH));
        m_hOwner = ::GetWindow(m_hWnd, GW_OWNER);
        m_bOwnerEnabled = ::IsWindowEnabled(m_hOwner);
        ::SetDlgItemTextW(m_hWnd, IDC_EDIT_GAME_PATH, L"D:\\游戏");
        ::CheckDlgButton(m_hWnd, IDC_CHECK_AUTOSTART, BST_CHECKED);
        if (m_nEnd == WM_QUIT)
            ::PostQuitMessage(5);
        else if (m_nEnd)
            ::PostMessageW(m_hWnd, WM_COMMAND, MAKEWPARAM(m_nEnd, BN_CLICKED), 0);
        return TRUE;
    }
    void DoDataExchange(framework::CDataExchange* pDX) noexcept override
    {
        framework::DDX_Check(pDX, IDC_CHECK_AUTOSTART, m_nCheck);
        framework::DDX_Text(pDX, IDC_EDIT_GAME_PATH, m_strText);
    }

private:
    UINT m_nEnd;
};

} // namespace

TEST(ModalDialog, OwnedByTheMainWindowEndsAsAskedAndExchangesItsData)
{
    framework::CWinApp app;
    ScriptedDialog main(0);
    ASSERT_TRUE(main.CreateModeless(nullptr));
    app.m_pMainWnd = &main;
    // How it ends; DoModal's result, the members afterwards, and the exit code of the quit
    // left for the enclosing loop (-1 for none).
    for (const auto& [end, result, check, text, quit] : {
             std::tuple{IDOK, IDOK, 1, L"D:\\游戏", -1},
             {IDCANCEL, IDCANCEL, 0, L"initial", -1},
             {WM_QUIT, -1, 0, L"initial", 5},
         }) {
        SCOPED_TRACE(testing::Message() << "ending with " << end);
        ScriptedDialog dialog(end);
        EXPECT_EQ(dialog.DoModal(), result);
        EXPECT_EQ(dialog.m_nCheck, check);
        EXPECT_EQ(dialog.m_strText, text);
        EXPECT_EQ(dialog.m_strShown, L"initial") << "the members go into the controls first";
        EXPECT_EQ(dialog.m_hOwner, main.m_hWnd);
        EXPECT_FALSE(dialog.m_bOwnerEnabled) << "the owner takes no input meanwhile";
        EXPECT_TRUE(::IsWindowEnabled(main.m_hWnd)) << "and again afterwards";
        MSG msg{};
        const bool quitLeft = ::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
        EXPECT_EQ(quitLeft ? int(msg.wParam) : -1, quit);
    }
    app.m_pMainWnd = nullptr;
    ::DestroyWindow(main.m_hWnd);
}
