#pragma once
// CDialog: a dialog from a resource template, run modally by its own loop or created modeless.
// With no parent given, a dialog is owned by the application's main window. Enter and Escape
// reach OnOK and OnCancel through the dialog manager (IsDialogMessage).
#include "framework/MessageMap.h"
#include "framework/Wnd.h"

namespace framework {

class CDataExchange;

class CDialog : public CWnd {
public:
    explicit CDialog(UINT templateId, CWnd* parent = nullptr) noexcept;

    // Runs the dialog until EndDialog or a quit message (which is posted again for the
    // enclosing loop, and makes the result -1). -1 also when the dialog cannot be created.
    INT_PTR DoModal() noexcept;
    // Creates the dialog without a modal loop, for hosts that pump messages themselves.
    [[nodiscard]] bool CreateModeless(CWnd* parent) noexcept;
    void EndDialog(int result) noexcept;

    // Runs the data exchange: controls to members (save) or members to controls.
    void UpdateData(bool saveAndValidate = true) noexcept;

protected:
    virtual BOOL OnInitDialog() noexcept;
    virtual void OnOK() noexcept;
    virtual void OnCancel() noexcept;
    virtual void DoDataExchange(CDataExchange* pDX) noexcept;

    bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) noexcept override;
    // The dialog manager's keys: Tab between controls, Enter and Escape as OK and Cancel.
    bool PreTranslateMessage(MSG& msg) noexcept override;

private:
    [[nodiscard]] HWND FindOwner() const noexcept;
    [[nodiscard]] HWND Create(HWND owner) noexcept;
    void RunModalLoop() noexcept;
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam,
                                       LPARAM lParam) noexcept;

    UINT m_nTemplateId;
    CWnd* m_pParentWnd;
    bool m_bModal = false;
    bool m_bContinueModal = false;
    INT_PTR m_nModalResult = -1;
};

} // namespace framework
