#include "framework/DataExchange.h"

#include "framework/Dialog.h"

namespace framework {

HWND CDataExchange::GetControl(int id) const noexcept
{
    return m_pDlgWnd ? ::GetDlgItem(m_pDlgWnd->GetSafeHwnd(), id) : nullptr;
}

void DDX_Check(CDataExchange* pDX, int id, int& value) noexcept
{
    HWND control = pDX->GetControl(id);
    if (!control)
        return;
    if (pDX->m_bSaveAndValidate)
        value = static_cast<int>(::SendMessageW(control, BM_GETCHECK, 0, 0));
    else
        ::SendMessageW(control, BM_SETCHECK, static_cast<WPARAM>(value), 0);
}

void DDX_Text(CDataExchange* pDX, int id, std::wstring& value) noexcept
{
    HWND control = pDX->GetControl(id);
    if (!control)
        return;
    if (!pDX->m_bSaveAndValidate) {
        ::SetWindowTextW(control, value.c_str());
        return;
    }
    try {
        const int length = ::GetWindowTextLengthW(control);
        std::wstring text(static_cast<size_t>(length) + 1, L'\0');
        const int copied = ::GetWindowTextW(control, text.data(), length + 1);
        text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
        value = std::move(text);
    } catch (...) {
        // Out of memory: the member keeps its previous text.
    }
}

void DDX_Control(CDataExchange* pDX, int id, CWnd& control) noexcept
{
    if (control.GetSafeHwnd())
        return;
    HWND item = pDX->GetControl(id);
    if (item)
        (void)control.SubclassWindow(item);
}

} // namespace framework
