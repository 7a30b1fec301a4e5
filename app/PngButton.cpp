#include "app/PngButton.h"

namespace {

// The hover frame shows as soon as the cursor rests on the button.
constexpr DWORD kHoverTimeMs = 1;

} // namespace

// clang-format off
const framework::MessageMap<PngButton> PngButton::s_messageMap = {
    {WM_MOUSEMOVE,   0, &PngButton::OnMouseMove},
    {WM_MOUSEHOVER,  0, &PngButton::OnMouseHover},
    {WM_MOUSELEAVE,  0, &PngButton::OnMouseLeave},
    {WM_LBUTTONDOWN, 0, &PngButton::OnLButton},
    {WM_LBUTTONUP,   0, &PngButton::OnLButton},
    {WM_ERASEBKGND,  0, &PngButton::OnEraseBkgnd},
};
// clang-format on

void PngButton::SetImage(Gdiplus::Bitmap* image) noexcept
{
    m_pImage = image;
    m_nImageWidth = image ? static_cast<int>(image->GetWidth()) : 0;
    m_nImageHeight = image ? static_cast<int>(image->GetHeight()) : 0;
    m_nFrameWidth = m_nImageWidth / kFrameCount;

    // Sized to one frame where it stands in its parent.
    RECT rect{};
    ::GetWindowRect(m_hWnd, &rect);
    ::MapWindowPoints(nullptr, ::GetParent(m_hWnd), reinterpret_cast<POINT*>(&rect), 2);
    ::MoveWindow(m_hWnd, rect.left, rect.top, m_nFrameWidth, m_nImageHeight, TRUE);
}

int PngButton::ChooseFrame(UINT itemState) const noexcept
{
    if (itemState & ODS_SELECTED)
        return kFramePressed;
    if (m_bHover)
        return kFrameHover;
    return kFrameNormal;
}

void PngButton::DrawItem(const DRAWITEMSTRUCT& item) noexcept
{
    if (m_pImage && m_nFrameWidth > 0 && m_nImageHeight > 0) {
        Gdiplus::Graphics graphics(item.hDC);
        // One to one, no scaling: a button larger than a frame keeps the rest unpainted.
        const Gdiplus::Rect target(0, 0, m_nFrameWidth, m_nImageHeight);
        (void)graphics.DrawImage(m_pImage, target, ChooseFrame(item.itemState) * m_nFrameWidth, 0,
                                 m_nFrameWidth, m_nImageHeight, Gdiplus::UnitPixel);
        (void)graphics.Flush(Gdiplus::FlushIntentionSync);
    }
}

void PngButton::Redraw() noexcept { ::InvalidateRect(m_hWnd, nullptr, TRUE); }

LRESULT PngButton::OnMouseMove(WPARAM, LPARAM) noexcept
{
    if (!m_bTracking) {
        // A failed request leaves tracking off, so the next move asks again.
        TRACKMOUSEEVENT track{sizeof(track), TME_HOVER | TME_LEAVE, m_hWnd, kHoverTimeMs};
        m_bTracking = ::TrackMouseEvent(&track);
    }
    return Default();
}

LRESULT PngButton::OnMouseHover(WPARAM, LPARAM) noexcept
{
    m_bHover = TRUE;
    Redraw();
    return 0;
}

LRESULT PngButton::OnMouseLeave(WPARAM, LPARAM) noexcept
{
    m_bTracking = FALSE;
    m_bHover = FALSE;
    Redraw();
    return 0;
}

LRESULT PngButton::OnLButton(WPARAM, LPARAM) noexcept
{
    Redraw();
    return Default();
}

LRESULT PngButton::OnEraseBkgnd(WPARAM, LPARAM) noexcept
{
    // Only the frame paints the button: erasing first would make it flicker.
    return TRUE;
}

LRESULT PngButton::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    // A quick second click is an ordinary press, so it gives a second click notification
    // instead of a double-click one.
    if (message == WM_LBUTTONDBLCLK)
        message = WM_LBUTTONDOWN;
    return CButton::DefWindowProc(message, wParam, lParam);
}
