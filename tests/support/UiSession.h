#pragma once
// The test's thread prepared as QUIB's start-up prepares its UI thread: the common controls,
// GDI+ (the skin's pictures) and OLE (the browser control, the shell's folder browser, the
// clipboard), with the program's own owners. Test fixtures that host the program's windows in
// their own process derive from UiTest; a program that is no test (the dialog probe) holds a
// UiSession.
#include "base/ComApartment.h"
#include "base/GdiPlus.h"

#include <gtest/gtest.h>

namespace test {

class UiSession {
public:
    UiSession() noexcept;
    UiSession(const UiSession&) = delete;
    UiSession& operator=(const UiSession&) = delete;

    [[nodiscard]] bool Ok() const noexcept { return m_ole.Ok() && m_gdiplus.Ok(); }

private:
    GdiplusSession m_gdiplus;
    OleSession m_ole;
};

// Derived fixtures that override SetUp call this one first.
class UiTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_session.Ok()) << "OLE or GDI+ did not start"; }

    UiSession m_session;
};

} // namespace test
