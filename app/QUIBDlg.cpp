#include "app/QUIBDlg.h"

#include "app/Messages.h"
#include "res/resource.h"

CQUIBDlg::CQUIBDlg() noexcept : CDialog(IDD_QUIB_DIALOG) {}

BOOL CQUIBDlg::OnInitDialog() noexcept
{
    CDialog::OnInitDialog();
    ::SetWindowTextW(m_hWnd, kMainWindowTitle);
    return TRUE;
}
