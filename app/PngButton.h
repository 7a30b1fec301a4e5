#pragma once
// PngButton: an owner-drawn push button painted from a strip of four equal frames side by side
// (normal, hover, pressed, and a fixed look that the tool never shows). It follows the mouse for
// its hover look and never erases its background. Bound to a dialog's button by subclassing; UI
// thread only.
#include "base/GdiPlus.h"
#include "framework/Button.h"
#include "framework/MessageMap.h"

class PngButton : public framework::WithMessageMap<PngButton, framework::CButton> {
public:
    // The frames of a strip, left to right; when both apply, pressed wins.
    enum Frame : int { kFrameNormal = 0, kFrameHover = 1, kFramePressed = 2 };
    static constexpr int kFrameCount = 4;

    PngButton() noexcept = default;

    // Takes the strip (not owned: it must outlive the button) and sizes the button to one
    // frame at its current position.
    void SetImage(Gdiplus::Bitmap* image) noexcept;

protected:
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) noexcept override;
    void DrawItem(const DRAWITEMSTRUCT& item) noexcept override;

private:
    [[nodiscard]] int ChooseFrame(UINT itemState) const noexcept;
    void Redraw() noexcept;

    LRESULT OnMouseMove(WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT OnMouseHover(WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT OnMouseLeave(WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT OnLButton(WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT OnEraseBkgnd(WPARAM wParam, LPARAM lParam) noexcept;

    BOOL m_bTracking = FALSE;
    BOOL m_bHover = FALSE;
    int m_nImageWidth = 0;
    int m_nImageHeight = 0;
    int m_nFrameWidth = 0;
    Gdiplus::Bitmap* m_pImage = nullptr;

    friend WithMessageMap;
    static const framework::MessageMap<PngButton> s_messageMap;
};
