#pragma once
// A memory device context with a 32-bit top-down DIB section, so that a test can hand a drawing
// routine a real DC and then read back the pixels it painted.
#include "base/Win.h"

#include <cstdint>

namespace test {

class Canvas {
public:
    Canvas(int width, int height, COLORREF fill);
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    ~Canvas();

    [[nodiscard]] HDC Dc() const noexcept { return m_dc; }
    // The pixel as RGB(r, g, b).
    [[nodiscard]] COLORREF Pixel(int x, int y) const noexcept;

private:
    int m_width;
    int m_height;
    HDC m_dc = nullptr;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_oldBitmap = nullptr;
    uint32_t* m_bits = nullptr;
};

// True when every channel differs by at most `tolerance`.
[[nodiscard]] bool SameColour(COLORREF a, COLORREF b, int tolerance = 3) noexcept;

} // namespace test
