#pragma once
// Dialog data exchange: one DoDataExchange describes both directions, members to controls
// (UpdateData(false)) and controls to members (UpdateData(true)).
#include "base/Win.h"

#include <string>

namespace framework {

class CDialog;
class CWnd;

class CDataExchange {
public:
    CDataExchange(CDialog* dialog, bool saveAndValidate) noexcept
        : m_pDlgWnd(dialog), m_bSaveAndValidate(saveAndValidate)
    {
    }
    [[nodiscard]] HWND GetControl(int id) const noexcept;

    CDialog* m_pDlgWnd;
    bool m_bSaveAndValidate;
};

// A check box and an int that is 0 or 1 (BST_INDETERMINATE reads as 2).
void DDX_Check(CDataExchange* pDX, int id, int& value) noexcept;
// An edit box or any window text and a string.
void DDX_Text(CDataExchange* pDX, int id, std::wstring& value) noexcept;
// Binds a control object to the dialog's control, once.
void DDX_Control(CDataExchange* pDX, int id, CWnd& control) noexcept;

} // namespace framework
