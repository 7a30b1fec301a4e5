#pragma once
// GDI+ needs the OLE types (PROPID, IStream) that the lean Windows headers leave out.
#include "base/Win.h"

#include <ole2.h>
#include <gdiplus.h>

// GDI+ for as long as this lives. Every image must be destroyed before it goes.
class GdiplusSession {
public:
    GdiplusSession() noexcept
    {
        Gdiplus::GdiplusStartupInput input;
        m_bStarted = Gdiplus::GdiplusStartup(&m_token, &input, nullptr) == Gdiplus::Ok;
    }
    GdiplusSession(const GdiplusSession&) = delete;
    GdiplusSession& operator=(const GdiplusSession&) = delete;
    ~GdiplusSession()
    {
        if (m_bStarted)
            Gdiplus::GdiplusShutdown(m_token);
    }
    [[nodiscard]] bool Ok() const noexcept { return m_bStarted; }

private:
    ULONG_PTR m_token = 0;
    bool m_bStarted = false;
};
