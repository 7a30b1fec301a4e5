#include "framework/Dialog.h"

#include "framework/DataExchange.h"
#include "framework/WinApp.h"

namespace framework {

CDialog::CDialog(UINT templateId, CWnd* parent) noexcept
    : m_nTemplateId(templateId), m_pParentWnd(parent)
{
}

HWND CDialog::FindOwner() const noexcept
{
    HWND owner = m_pParentWnd ? m_pParentWnd->GetSafeHwnd() : nullptr;
    if (!owner) {
        CWnd* main = AfxGetMainWnd();
        if (main != this)
            owner = main ? main->GetSafeHwnd() : nullptr;
    }
    if (owner && !::IsWindow(owner))
        return nullptr;
    // A dialog is owned by a top-level window, never by a child control.
    while (owner && (::GetWindowLongPtrW(owner, GWL_STYLE) & WS_CHILD))
        owner = ::GetParent(owner);
    return owner;
}

HWND CDialog::Create(HWND owner) noexcept
{
    return ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_nTemplateId),
                                owner, &DialogProc, reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT message, WPARAM, LPARAM lParam) noexcept
{
    // The object takes over the dialog window at WM_INITDIALOG; from then on every message
    // passes through its maps before the dialog manager's own procedure, which ends up here and
    // answers "not handled".
    if (message != WM_INITDIALOG)
        return FALSE;
    // Only the creation's own WM_INITDIALOG carries the object. One sent later by hand (a page's
    // SendMessage) carries a mere number, which must never be taken for an object.
    if (FromHandlePermanent(hwnd))
        return FALSE;
    auto* dialog = reinterpret_cast<CDialog*>(lParam);
    if (!dialog || !dialog->SubclassWindow(hwnd))
        return TRUE;
    return dialog->OnInitDialog();
}

bool CDialog::CreateModeless(CWnd* parent) noexcept
{
    m_pParentWnd = parent;
    m_bModal = false;
    return Create(FindOwner()) != nullptr;
}

INT_PTR CDialog::DoModal() noexcept
{
    HWND owner = FindOwner();
    // The owner is disabled for the dialog's lifetime, as with every modal dialog.
    const bool disabledOwner = owner && ::IsWindowEnabled(owner);
    if (disabledOwner)
        ::EnableWindow(owner, FALSE);

    m_bModal = true;
    m_bContinueModal = true;
    m_nModalResult = -1;
    HWND hwnd = Create(owner);
    if (hwnd && m_bContinueModal) {
        if (!::IsWindowVisible(hwnd))
            ::ShowWindow(hwnd, SW_SHOWNORMAL);
        RunModalLoop();
    }

    // Enable the owner before the dialog goes, so that activation returns to it.
    if (disabledOwner)
        ::EnableWindow(owner, TRUE);
    if (hwnd && ::IsWindow(hwnd)) {
        ::SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                       SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        ::DestroyWindow(hwnd);
    }
    if (owner && ::IsWindow(owner) && disabledOwner)
        ::SetActiveWindow(owner);
    m_bModal = false;
    return hwnd ? m_nModalResult : -1;
}

void CDialog::RunModalLoop() noexcept
{
    MSG msg;
    while (m_bContinueModal) {
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1) {
            // A quit ends this loop and every enclosing one.
            ::PostQuitMessage(got == 0 ? static_cast<int>(msg.wParam) : 0);
            m_nModalResult = -1;
            return;
        }
        if (msg.hwnd && WalkPreTranslateTree(m_hWnd, msg))
            continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

bool CDialog::PreTranslateMessage(MSG& msg) noexcept
{
    return m_hWnd && ::IsDialogMessageW(m_hWnd, &msg);
}

void CDialog::EndDialog(int result) noexcept
{
    if (m_bModal) {
        m_nModalResult = result;
        m_bContinueModal = false;
        // Wake the loop in case no other message is on its way.
        ::PostMessageW(m_hWnd, WM_NULL, 0, 0);
    } else if (m_hWnd) {
        ::DestroyWindow(m_hWnd);
    }
}

void CDialog::UpdateData(bool saveAndValidate) noexcept
{
    CDataExchange exchange(this, saveAndValidate);
    DoDataExchange(&exchange);
}

BOOL CDialog::OnInitDialog() noexcept
{
    UpdateData(false);
    return TRUE;
}

void CDialog::OnOK() noexcept
{
    UpdateData(true);
    EndDialog(IDOK);
}

void CDialog::OnCancel() noexcept { EndDialog(IDCANCEL); }

void CDialog::DoDataExchange(CDataExchange*) noexcept {}

bool CDialog::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) noexcept
{
    const UINT id = LOWORD(wParam);
    if (message == WM_COMMAND && IsCommandCode(wParam) && (id == IDOK || id == IDCANCEL)) {
        if (id == IDOK)
            OnOK();
        else
            OnCancel();
        result = 0;
        return true;
    }
    return CWnd::OnWndMsg(message, wParam, lParam, result);
}

} // namespace framework
