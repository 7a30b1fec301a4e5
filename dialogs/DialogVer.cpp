#include "dialogs/DialogVer.h"

#include "base/Paths.h"
#include "res/resource.h"
#include "web/HtmlCtrl.h"
#include "web/Sites.h"

namespace {

// Fixed pixel sizes: the window, and the page that fills its client area under the classic
// caption and frame.
constexpr int kDialogWidth = 385;
constexpr int kDialogHeight = 258;
constexpr int kPageWidth = 377;
constexpr int kPageHeight = 230;

// Centres the window over its owner, or over the work area when the owner is hidden or
// minimised, and keeps it inside the work area of the owner's monitor: an owner moved partly
// off the screen must not take the dialog's caption out of reach.
void CenterOverOwner(HWND window) noexcept
{
    RECT rect{};
    ::GetWindowRect(window, &rect);
    HWND owner = ::GetWindow(window, GW_OWNER);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    ::GetMonitorInfoW(::MonitorFromWindow(owner ? owner : window, MONITOR_DEFAULTTONEAREST),
                      &monitor);
    const RECT& work = monitor.rcWork;
    RECT center = work;
    if (owner && ::IsWindowVisible(owner) && !::IsIconic(owner))
        ::GetWindowRect(owner, &center);

    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    int left = (center.left + center.right) / 2 - width / 2;
    int top = (center.top + center.bottom) / 2 - height / 2;
    if (left + width > work.right)
        left = work.right - width;
    if (left < work.left)
        left = work.left;
    if (top + height > work.bottom)
        top = work.bottom - height;
    if (top < work.top)
        top = work.top;
    ::SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace

DialogVer::DialogVer(const paths::Places& places) noexcept
    : CDialog(IDD_DIALOG_VER), m_places(places)
{
}

DialogVer::~DialogVer()
{
    // The page control's window must go before the control object does.
    if (m_hWnd && ::IsWindow(m_hWnd))
        ::DestroyWindow(m_hWnd);
}

BOOL DialogVer::OnInitDialog() noexcept
{
    CDialog::OnInitDialog();
    ::MoveWindow(m_hWnd, 0, 0, kDialogWidth, kDialogHeight, FALSE);
    CenterOverOwner(m_hWnd);

    m_pLogPage = CHtmlCtrl::Make(m_places);
    if (!m_pLogPage)
        return TRUE;
    // The update list is longer than the window: it keeps its scroll bars and border.
    m_pLogPage->m_bScrollable = TRUE;
    // Without its window the control has no browser to navigate.
    if (!m_pLogPage->CreateOverPlaceholder(IDC_LOG_PLACEHOLDER, this))
        return TRUE;
    ::MoveWindow(m_pLogPage->GetSafeHwnd(), 0, 0, kPageWidth, kPageHeight, TRUE);
    const std::wstring address = paths::ConcatPath(web::kToolsSite, web::kUpdateLogPath);
    // A page that cannot be loaded shows what the browser shows for it; nothing to report.
    (void)m_pLogPage->Navigate(address.c_str());
    return TRUE;
}
