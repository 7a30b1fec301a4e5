// CQUIBDlg's tray icon, its two popup menus and the ways the window closes.
#include "app/Messages.h"
#include "app/QUIBDlg.h"
#include "framework/MessageBox.h"
#include "framework/StringTable.h"
#include "res/resource.h"
#include "settings/ConfigFile.h"

#include <cwchar>

namespace {

constexpr wchar_t kTrayTip[] = L"ZANTOValdmarkTessaly";
// The update menu opens just below the left edge of the "U" button.
constexpr POINT kUpdateMenuOffset{592, 27};

} // namespace

void CQUIBDlg::AddTrayIcon() noexcept
{
    m_trayIcon.Reset(static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr),
                                                     MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, 0,
                                                     0, LR_DEFAULTSIZE)));
    // The Windows XP layout of the record: up to and including the item's GUID.
    m_nid.cbSize = NOTIFYICONDATAW_V3_SIZE;
    m_nid.hWnd = m_hWnd;
    m_nid.uID = IDR_MAINFRAME;
    m_nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    m_nid.uCallbackMessage = WM_TRAY_CALLBACK;
    m_nid.hIcon = m_trayIcon.Get();
    std::wcsncpy(m_nid.szTip, kTrayTip, std::size(m_nid.szTip) - 1);
    // The shell may report a time-out and still show the icon, so the result does not decide
    // whether the icon is removed later.
    (void)::Shell_NotifyIconW(NIM_ADD, &m_nid);
    m_bTrayIconAdded = true;
}

void CQUIBDlg::RemoveTrayIcon() noexcept
{
    if (!m_bTrayIconAdded)
        return;
    (void)::Shell_NotifyIconW(NIM_DELETE, &m_nid);
    m_bTrayIconAdded = false;
}

LRESULT CQUIBDlg::OnDestroy(WPARAM, LPARAM) noexcept
{
    // Whatever ended the window (a quit message, the dialog's own confirm), the notification
    // area must not keep an icon whose window has gone.
    RemoveTrayIcon();
    return Default();
}

LRESULT CQUIBDlg::OnTrayCallback(WPARAM wParam, LPARAM lParam) noexcept
{
    if (wParam != IDR_MAINFRAME)
        return 1;
    const UINT mouseMessage = static_cast<UINT>(lParam);
    if (mouseMessage == WM_LBUTTONDOWN)
        OnToggleWindow();
    else if (mouseMessage == WM_RBUTTONDOWN)
        ShowTrayMenu();
    return 1;
}

void CQUIBDlg::OnToggleWindow() noexcept
{
    // A minimised window is visible too: it is hidden, and comes back restored.
    if (::IsWindowVisible(m_hWnd)) {
        ::ShowWindow(m_hWnd, SW_HIDE);
        return;
    }
    ::ShowWindow(m_hWnd, SW_SHOWNORMAL);
    ::SetForegroundWindow(m_hWnd);
}

void CQUIBDlg::ShowTrayMenu() noexcept
{
    UniqueMenu menu(::LoadMenuW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MENU_TRAY)));
    if (!menu)
        return;
    HMENU popup = ::GetSubMenu(menu.Get(), 0);
    const std::wstring toggle =
        framework::LoadText(::IsWindowVisible(m_hWnd) ? IDS_HIDE_WINDOW : IDS_SHOW_WINDOW);
    ::ModifyMenuW(popup, ID_TRAY_SHOW, MF_BYCOMMAND | MF_STRING, ID_TRAY_SHOW, toggle.c_str());
    POINT cursor{};
    ::GetCursorPos(&cursor);
    // Without the foreground the menu would not close when the user clicks elsewhere, and the
    // posted null message lets the next click on the icon reach the menu loop's end.
    ::SetForegroundWindow(m_hWnd);
    ::TrackPopupMenu(popup, TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, m_hWnd, nullptr);
    ::PostMessageW(m_hWnd, WM_NULL, 0, 0);
}

void CQUIBDlg::OnUpdateMenu() noexcept
{
    UniqueMenu menu(::LoadMenuW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MENU_UPDATE)));
    if (!menu)
        return;
    RECT window{};
    ::GetWindowRect(m_hWnd, &window);
    ::SetForegroundWindow(m_hWnd);
    ::TrackPopupMenu(::GetSubMenu(menu.Get(), 0), TPM_RIGHTBUTTON,
                     window.left + kUpdateMenuOffset.x, window.top + kUpdateMenuOffset.y, 0, m_hWnd,
                     nullptr);
    ::PostMessageW(m_hWnd, WM_NULL, 0, 0);
}

void CQUIBDlg::OnExit() noexcept { OnCancel(); }

void CQUIBDlg::OnCloseButton() noexcept
{
    // Whole, exact texts: "01" or "3" ask like a missing value.
    const std::wstring rule = settings::ReadSetting(
        m_places, settings::kSectionSystem, settings::kKeyExit, settings::kExitRuleCapacity);
    if (settings::TextEquals(rule, settings::kChoiceOn)) {
        ::ShowWindow(m_hWnd, SW_HIDE);
        return;
    }
    if (settings::TextEquals(rule, settings::kChoiceExit)) {
        OnCancel();
        return;
    }
    switch (framework::ShowMessageBox(m_hWnd, framework::LoadText(IDS_CLOSE_PROMPT).c_str(),
                                      framework::LoadText(IDS_CLOSE_CAPTION).c_str(),
                                      MB_YESNOCANCEL)) {
    case IDYES:
        OnCancel();
        break;
    case IDNO:
        ::ShowWindow(m_hWnd, SW_HIDE);
        break;
    default:
        break;
    }
}

void CQUIBDlg::OnCancel() noexcept
{
    RemoveTrayIcon();
    CDialog::OnCancel();
}
