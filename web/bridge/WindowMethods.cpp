// Script methods that act on windows and send the page's requests to the hosting window. The
// hosting window is the control's parent: the main window for the portal page, the update-log
// dialog for its own page.
#include "framework/WinApp.h"
#include "web/HostMessages.h"
#include "web/HtmlCtrl.h"

namespace {

// What the system's move loop expects from a press on a caption.
constexpr WPARAM kMoveFromCaption = SC_MOVE | HTCAPTION;

HWND HostingWindow(HWND control) noexcept { return control ? ::GetParent(control) : nullptr; }

// Posted, not sent: the page's call returns before the hosting window acts. A control without
// a parent has nobody to tell (a null window would post to this thread's own queue).
void PostToHost(HWND control, UINT message) noexcept
{
    if (HWND host = HostingWindow(control))
        ::PostMessageW(host, message, 0, 0);
}

} // namespace

void CHtmlCtrl::MoveWindow() noexcept
{
    // Returns when the user lets go of the mouse: the system runs its move loop meanwhile.
    if (HWND host = HostingWindow(m_hWnd))
        ::SendMessageW(host, WM_SYSCOMMAND, kMoveFromCaption, 0);
}

long CHtmlCtrl::GetMainWindow() noexcept { return WindowToLong(framework::AfxGetMainHwnd()); }

long CHtmlCtrl::SendMessage(long window, long message, long wParam, long lParam) noexcept
{
    // Parameters are sign-extended like handles, so a handle passed in either one survives.
    return static_cast<long>(::SendMessageW(LongToWindow(window), static_cast<UINT>(message),
                                            static_cast<WPARAM>(static_cast<LONG_PTR>(wParam)),
                                            static_cast<LPARAM>(lParam)));
}

long CHtmlCtrl::GetParentWindow() noexcept { return WindowToLong(HostingWindow(m_hWnd)); }

long CHtmlCtrl::ShowWindow(long window, long showCommand) noexcept
{
    return ::ShowWindow(LongToWindow(window), static_cast<int>(showCommand));
}

void CHtmlCtrl::MaxOrNormalWindow() noexcept
{
    if (HWND host = HostingWindow(m_hWnd))
        ::ShowWindow(host, ::IsZoomed(host) ? SW_SHOWNORMAL : SW_MAXIMIZE);
}

long CHtmlCtrl::UpdateBegin() noexcept
{
    PostToHost(m_hWnd, WM_UPDATE_FOUND);
    return TRUE;
}

long CHtmlCtrl::Find() noexcept
{
    PostToHost(m_hWnd, WM_BROWSE_GAME_DIR);
    return TRUE;
}
