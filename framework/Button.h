#pragma once
// CButton: a push button, check box or radio button. An owner-drawn button paints itself in
// DrawItem, which its parent's WM_DRAWITEM reaches through reflection.
#include "framework/Wnd.h"

namespace framework {

class CButton : public CWnd {
public:
    [[nodiscard]] int GetCheck() const noexcept;
    void SetCheck(int check) noexcept;

protected:
    virtual void DrawItem(const DRAWITEMSTRUCT& item) noexcept;
    bool OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam,
                       LRESULT& result) noexcept override;
};

} // namespace framework
