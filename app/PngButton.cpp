#include "app/PngButton.h"

#include "base/Unique.h"

namespace {

// The caption font of the skin; Windows substitutes its own when the face is missing.
constexpr int kTextHeight = 28;
constexpr int kTextWeight = 625;
constexpr wchar_t kTextFace[] = L"微软雅黑";
constexpr COLORREF kTextColour = RGB(255, 255, 255);
constexpr int kTextX = 45;
constexpr int kTextY = 8;
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
    if (m_nFixedState == 1)
        return kFrameFixed;
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
    if (m_bShowText)
        DrawCaption(item.hDC);
}

void PngButton::DrawCaption(HDC dc) const noexcept
{
    // Made for the buttons that show text only: the skin's buttons draw none.
    UniqueGdiObj font(::CreateFontW(kTextHeight, 0, 0, 0, kTextWeight, FALSE, FALSE, FALSE, 0,
                                    OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                    FF_SWISS | DEFAULT_PITCH, kTextFace));
    HGDIOBJ oldFont = font ? ::SelectObject(dc, font.Get()) : nullptr;
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, kTextColour);
    ::TextOutW(dc, kTextX, kTextY, m_strText.c_str(), static_cast<int>(m_strText.size()));
    if (oldFont)
        ::SelectObject(dc, oldFont);
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
