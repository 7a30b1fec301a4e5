#pragma once
// CWinApp: the process's one application object. wWinMain hands control to AfxWinMain, which
// runs the object's per-instance start-up, its message loop when the start-up asks for one, and
// its per-instance shutdown, whose result is the exit code.
#include "base/Win.h"

#include <string>

namespace framework {

class CWnd;

class CWinApp {
public:
    CWinApp() noexcept;
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;
    virtual ~CWinApp();

    // Returns TRUE to run the message loop, FALSE to go straight to ExitInstance.
    virtual BOOL InitInstance() noexcept { return TRUE; }
    virtual int ExitInstance() noexcept { return m_nExitCode; }

    // The application's name: string resource AFX_IDS_APP_TITLE, or the executable's name.
    [[nodiscard]] const std::wstring& GetAppName() const noexcept { return m_strAppName; }

    // The main window slot: the window that owns message boxes and ownerless dialogs.
    CWnd* m_pMainWnd = nullptr;
    HINSTANCE m_hInstance = nullptr;

protected:
    int RunMessageLoop() noexcept;

private:
    friend int AfxWinMain() noexcept;
    void LoadAppName() noexcept;

    std::wstring m_strAppName;
    int m_nExitCode = 0;
};

// The title string's fixed resource id.
inline constexpr UINT AFX_IDS_APP_TITLE = 0xE000;

[[nodiscard]] CWinApp* AfxGetApp() noexcept;
[[nodiscard]] CWnd* AfxGetMainWnd() noexcept;
[[nodiscard]] HWND AfxGetMainHwnd() noexcept;

// The application's message box: owned by the main window (or its active pop-up), captioned
// with the application's name, with the warning icon when the type names no icon.
int AfxMessageBox(const wchar_t* text, UINT type = MB_OK) noexcept;

int AfxWinMain() noexcept;

} // namespace framework
