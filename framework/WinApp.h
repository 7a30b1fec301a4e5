#pragma once
// CWinApp: the process's one application object. wWinMain hands control to AfxWinMain, which
// runs the object's per-instance start-up and then its per-instance shutdown, whose result is the
// exit code. The start-up runs the program itself: a modal dialog's loop, or a script's.
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

    // Runs the program; ExitInstance follows.
    virtual void InitInstance() noexcept {}
    virtual int ExitInstance() noexcept { return 0; }

    // The application's name: string resource AFX_IDS_APP_TITLE, or the executable's name.
    [[nodiscard]] const std::wstring& GetAppName() const noexcept { return m_strAppName; }

    // The main window slot: the window that owns message boxes and ownerless dialogs.
    CWnd* m_pMainWnd = nullptr;

private:
    void LoadAppName() noexcept;

    std::wstring m_strAppName;
};

// The title string's fixed resource id.
inline constexpr UINT AFX_IDS_APP_TITLE = 0xE000;

[[nodiscard]] CWnd* AfxGetMainWnd() noexcept;
[[nodiscard]] HWND AfxGetMainHwnd() noexcept;

// The application's message box: owned by the main window (or its active pop-up), captioned
// with the application's name, with the warning icon when the type names no icon.
int AfxMessageBox(const wchar_t* text, UINT type = MB_OK) noexcept;

int AfxWinMain() noexcept;

} // namespace framework
