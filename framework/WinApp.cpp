#include "framework/WinApp.h"

#include "base/Paths.h"
#include "framework/MessageBox.h"
#include "framework/StringTable.h"
#include "framework/Wnd.h"

namespace framework {
namespace {

CWinApp* g_app = nullptr;

} // namespace

CWinApp::CWinApp() noexcept
{
    g_app = this;
    LoadAppName();
}

CWinApp::~CWinApp()
{
    if (g_app == this)
        g_app = nullptr;
}

void CWinApp::LoadAppName() noexcept
{
    try {
        m_strAppName = LoadText(AFX_IDS_APP_TITLE);
        if (!m_strAppName.empty())
            return;
        std::wstring name = paths::GetProgramPath();
        name.erase(0, name.find_last_of(L"\\/") + 1);
        m_strAppName = name.substr(0, name.rfind(L'.'));
    } catch (...) {
        m_strAppName.clear();
    }
}

CWnd* AfxGetMainWnd() noexcept { return g_app ? g_app->m_pMainWnd : nullptr; }

HWND AfxGetMainHwnd() noexcept
{
    CWnd* main = AfxGetMainWnd();
    return main ? main->GetSafeHwnd() : nullptr;
}

int AfxMessageBox(const wchar_t* text, UINT type) noexcept
{
    // The box belongs in front of whatever the main window is showing now (a modal dialog
    // included), so that it is modal to the window the user is looking at.
    HWND owner = AfxGetMainHwnd();
    if (owner && ::IsWindow(owner))
        owner = ::GetLastActivePopup(owner);
    else
        owner = nullptr;
    if ((type & MB_ICONMASK) == 0 && (type & MB_TYPEMASK) <= MB_OKCANCEL)
        type |= MB_ICONEXCLAMATION;
    const wchar_t* caption = g_app ? g_app->GetAppName().c_str() : L"";
    return ShowMessageBox(owner, text, caption, type);
}

int AfxWinMain() noexcept
{
    CWinApp* app = g_app;
    if (!app)
        return -1;
    app->InitInstance();
    return app->ExitInstance();
}

} // namespace framework
