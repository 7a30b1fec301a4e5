// dialog_probe: runs the real settings dialog or the game-directory selection inside an
// application of its own, from whatever folder the tests copied it to, so that this folder's
// config.ini is the one the code reads and writes. Like the tool, it initialises OLE on its UI
// thread and owns a main window; a second thread plays the user (ProbeUser.h).
//
//   dialog_probe set STEP...     opens the settings dialog, performs the steps, then prints
//                                "result <the dialog's modal result>"
//   dialog_probe choose TARGET   runs the game-directory selection as the main window does for
//                                the page, answering the browser with TARGET, then prints
//                                "chosen <what it returned>"
//
// Exit code 0 when the user could do everything asked, 3 when not, 2 for a wrong command line.
#include "framework/Dialog.h"
#include "framework/WinApp.h"
#include "res/resource.h"
#include "settings/dialogs/DialogSet.h"
#include "settings/dialogs/GameDirectory.h"
#include "tests/settings/dialogs/ProbeUser.h"
#include "tests/support/UiSession.h"

#include <shellapi.h>

#include <string>
#include <vector>

namespace {

constexpr int kUsage = 2;
constexpr int kUserFailed = 3;
constexpr wchar_t kMainTitle[] = L"QUIB probe main window";

// The settings dialog, telling the user's thread when it is up and when a browse is handled.
class ProbedDialogSet : public DialogSet {
public:
    UniqueHandle m_ready{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    UniqueHandle m_browseDone{::CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    HWND m_hDialog = nullptr;

protected:
    BOOL OnInitDialog() noexcept override
    {
        const BOOL result = DialogSet::OnInitDialog();
        m_hDialog = m_hWnd;
        ::SetEvent(m_ready.Get());
        return result;
    }
    bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) noexcept override
    {
        const bool handled = DialogSet::OnWndMsg(message, wParam, lParam, result);
        if (message == WM_COMMAND && LOWORD(wParam) == IDC_BTN_BROWSE)
            ::SetEvent(m_browseDone.Get());
        return handled;
    }
};

class ProbeApp : public framework::CWinApp {
public:
    BOOL InitInstance() noexcept override;
    int ExitInstance() noexcept override { return m_nResult; }

private:
    int RunSettingsDialog(std::vector<std::wstring> steps);
    int RunChoose(std::wstring target);

    int m_nResult = 0;
};

int ProbeApp::RunSettingsDialog(std::vector<std::wstring> steps)
{
    ProbedDialogSet dialog;
    probe::ProbeUser user(GetAppName(), framework::AfxGetMainHwnd());
    user.StartInDialog(dialog.m_ready.Get(), &dialog.m_hDialog, dialog.m_browseDone.Get(),
                       std::move(steps));
    const INT_PTR result = dialog.DoModal();
    const bool userDone = user.Finish();
    probe::WriteFields({L"result", std::to_wstring(result)});
    return userDone ? 0 : kUserFailed;
}

int ProbeApp::RunChoose(std::wstring target)
{
    UniqueHandle done(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    probe::ProbeUser user(GetAppName(), framework::AfxGetMainHwnd());
    user.StartBrowse(std::move(target), done.Get());
    const std::wstring chosen = ChooseGameDirectory();
    ::SetEvent(done.Get());
    const bool userDone = user.Finish();
    probe::WriteFields({L"chosen", chosen});
    return userDone ? 0 : kUserFailed;
}

BOOL ProbeApp::InitInstance() noexcept
{
    try {
        int count = 0;
        wchar_t** arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
        std::vector<std::wstring> words(arguments + (count > 1 ? 1 : count), arguments + count);
        ::LocalFree(arguments);
        if (words.size() < 2 || (words[0] != L"set" && words[0] != L"choose")) {
            m_nResult = kUsage;
            return FALSE;
        }

        test::UiSession session;
        framework::CDialog main(IDD_QUIB_DIALOG);
        if (main.CreateModeless(nullptr)) {
            ::SetWindowTextW(main.m_hWnd, kMainTitle);
            ::ShowWindow(main.m_hWnd, SW_SHOW);
            m_pMainWnd = &main;
        }
        const std::wstring command = words[0];
        words.erase(words.begin());
        m_nResult = command == L"set" ? RunSettingsDialog(std::move(words))
                                      : RunChoose(std::move(words[0]));
        m_pMainWnd = nullptr;
        if (main.m_hWnd)
            ::DestroyWindow(main.m_hWnd);
    } catch (...) {
        m_nResult = kUserFailed;
    }
    return FALSE;
}

ProbeApp theApp;

} // namespace

int wmain() { return framework::AfxWinMain(); }
