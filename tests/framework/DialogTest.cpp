// The modal loop of the dialog framework: its owner, OK and Cancel with data exchange both ways,
// and a quit arriving while it runs.
#include "framework/Dialog.h"
#include "framework/DataExchange.h"
#include "framework/WinApp.h"
#include "res/resource.h"
#include "tests/support/WindowDriver.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

// The settings template has a check box and an edit box: enough to exercise the machinery
// without the settings dialog's own logic.
class ScriptedDialog : public framework::CDialog {
public:
    ScriptedDialog() : CDialog(IDD_DIALOG_SET) {}

    int m_nCheck = 0;
    std::wstring m_strText = L"initial";
    std::wstring m_strShown; // the edit box's text once the dialog is up
    HWND m_hOwner = nullptr;
    bool m_bOwnerEnabled = true;
    std::function<void(HWND)> m_act; // the test's user, once the dialog is up

protected:
    BOOL OnInitDialog() noexcept override
    {
        CDialog::OnInitDialog();
        m_strShown = test::WindowText(::GetDlgItem(m_hWnd, IDC_EDIT_GAME_PATH));
        m_hOwner = ::GetWindow(m_hWnd, GW_OWNER);
        m_bOwnerEnabled = ::IsWindowEnabled(m_hOwner) != FALSE;
        if (m_act)
            m_act(m_hWnd);
        return TRUE;
    }
    void DoDataExchange(framework::CDataExchange* pDX) noexcept override
    {
        framework::DDX_Check(pDX, IDC_CHECK_AUTOSTART, m_nCheck);
        framework::DDX_Text(pDX, IDC_EDIT_GAME_PATH, m_strText);
    }
};

void Post(HWND hwnd, UINT id) { ::PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }

} // namespace

TEST(ModalDialog, OwnedByTheMainWindowEndsAsAskedAndExchangesItsData)
{
    framework::CWinApp app;
    ScriptedDialog main;
    ASSERT_TRUE(main.CreateModeless(nullptr));
    app.m_pMainWnd = &main;
    const struct {
        const char* name;
        std::function<void(HWND)> act;
        INT_PTR result;
        int check;
        std::wstring text;
        int quit; // the exit code of the quit left for the enclosing loop, -1 for none
    } cases[] = {
        {"OK takes the controls into the members",
         [](HWND d) {
             ::SetDlgItemTextW(d, IDC_EDIT_GAME_PATH, L"D:\\游戏");
             ::CheckDlgButton(d, IDC_CHECK_AUTOSTART, BST_CHECKED);
             Post(d, IDOK);
         },
         IDOK, 1, L"D:\\游戏", -1},
        {"Cancel leaves the members",
         [](HWND d) {
             ::SetDlgItemTextW(d, IDC_EDIT_GAME_PATH, L"typed");
             Post(d, IDCANCEL);
         },
         IDCANCEL, 0, L"initial", -1},
        {"a quit ends the loop", [](HWND) { ::PostQuitMessage(5); }, -1, 0, L"initial", 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedDialog dialog;
        dialog.m_act = c.act;
        EXPECT_EQ(dialog.DoModal(), c.result);
        EXPECT_EQ(dialog.m_nCheck, c.check);
        EXPECT_EQ(dialog.m_strText, c.text);
        EXPECT_EQ(dialog.m_strShown, L"initial") << "the members go into the controls first";
        EXPECT_EQ(dialog.m_hOwner, main.m_hWnd);
        EXPECT_FALSE(dialog.m_bOwnerEnabled) << "the owner takes no input meanwhile";
        EXPECT_TRUE(::IsWindowEnabled(main.m_hWnd)) << "and again afterwards";
        MSG msg{};
        const bool quit = ::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
        EXPECT_EQ(quit ? static_cast<int>(msg.wParam) : -1, c.quit);
    }
    app.m_pMainWnd = nullptr;
    ::DestroyWindow(main.m_hWnd);
}
