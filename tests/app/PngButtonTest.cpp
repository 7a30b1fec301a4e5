#include "app/PngButton.h"
#include "app/PngResource.h"
#include "framework/DataExchange.h"
#include "framework/Dialog.h"
#include "res/resource.h"
#include "tests/app/Canvas.h"
#include "tests/support/UiSession.h"
#include "tests/support/Wait.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

constexpr UINT kBogusPicture = 777; // BogusPicture.rc

// The face colours of the skin's four frames at mid-height, as tools/render-art paints them:
// normal, hover, pressed, fixed.
constexpr COLORREF kFaces[] = {RGB(46, 51, 66), RGB(69, 84, 123), RGB(31, 36, 49),
                               RGB(148, 105, 36)};
constexpr COLORREF kMarker = RGB(255, 0, 255);

// Which frame a face pixel shows, or -1 when it matches none.
int FrameOf(COLORREF pixel)
{
    for (int k = 0; k < 4; ++k) {
        if (test::SameColour(pixel, kFaces[k]))
            return k;
    }
    return -1;
}

HMODULE Self() { return ::GetModuleHandleW(nullptr); }

// Template 102 with one PngButton bound to the "U" button; counts its click notifications.
class ButtonHost : public framework::CDialog {
public:
    ButtonHost() : CDialog(IDD_QUIB_DIALOG) {}

    PngButton m_button;
    int m_nClicks = 0;

    HWND Button() const { return m_button.GetSafeHwnd(); }

    // Paints the button through the parent's owner-draw message, as the system does.
    int DrawnFrame(UINT state, int width = 44, int height = 21)
    {
        test::Canvas canvas(width, height, kMarker);
        DRAWITEMSTRUCT item{ODT_BUTTON,  IDC_BTN_UPDATE,        0, ODA_DRAWENTIRE, state, Button(),
                            canvas.Dc(), {0, 0, width, height}, 0};
        ::SendMessageW(m_hWnd, WM_DRAWITEM, IDC_BTN_UPDATE, reinterpret_cast<LPARAM>(&item));
        return FrameOf(canvas.Pixel(2, height / 2));
    }

protected:
    void DoDataExchange(framework::CDataExchange* pDX) noexcept override
    {
        framework::DDX_Control(pDX, IDC_BTN_UPDATE, m_button);
    }
    bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) noexcept override
    {
        if (message == WM_COMMAND && LOWORD(wParam) == IDC_BTN_UPDATE &&
            HIWORD(wParam) == BN_CLICKED) {
            ++m_nClicks;
            result = 0;
            return true;
        }
        return CDialog::OnWndMsg(message, wParam, lParam, result);
    }
};

class PngButtonTest : public test::UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        m_strip = LoadPngFromResource(IDB_PNG_UPDATE, Self());
        ASSERT_NE(m_strip, nullptr);
        ASSERT_TRUE(m_host.CreateModeless(nullptr));
        m_host.m_button.SetImage(m_strip.get());
    }
    void TearDown() override { ::DestroyWindow(m_host.m_hWnd); }

    void Press(UINT message, int x, int y)
    {
        ::SendMessageW(m_host.Button(), message, MK_LBUTTON, MAKELPARAM(x, y));
    }

    std::unique_ptr<Gdiplus::Bitmap> m_strip;
    ButtonHost m_host;
};

} // namespace

TEST(PngResource, LoadsEachPictureAtItsSize)
{
    test::UiSession session;
    const struct {
        UINT id;
        UINT width, height;
    } pictures[] = {{IDB_PNG_BACKGROUND, 800, 600}, {IDB_PNG_UPDATE, 176, 21},
                    {IDB_PNG_HELP, 176, 21},        {IDB_PNG_SETTINGS, 176, 21},
                    {IDB_PNG_MIN, 60, 15},          {IDB_PNG_CLOSE, 60, 15}};
    for (const auto& picture : pictures) {
        auto bitmap = LoadPngFromResource(picture.id, Self());
        ASSERT_NE(bitmap, nullptr) << "resource " << picture.id;
        EXPECT_EQ(bitmap->GetWidth(), picture.width) << "resource " << picture.id;
        EXPECT_EQ(bitmap->GetHeight(), picture.height) << "resource " << picture.id;
    }
}

TEST(PngResource, PixelsStayReadableAfterTheLoad)
{
    test::UiSession session;
    auto strip = LoadPngFromResource(IDB_PNG_CLOSE, Self());
    ASSERT_NE(strip, nullptr);
    // Everything the loader allocated for decoding is gone; the bitmap must still hold the
    // picture (a bitmap still reading a freed stream gives garbage or fails here).
    for (int k = 0; k < 4; ++k) {
        Gdiplus::Color colour;
        ASSERT_EQ(strip->GetPixel(k * 15 + 2, 7, &colour), Gdiplus::Ok);
        EXPECT_EQ(FrameOf(RGB(colour.GetR(), colour.GetG(), colour.GetB())), k) << "frame " << k;
        EXPECT_EQ(colour.GetA(), 255);
    }
}

TEST(PngResource, MissingOrUndecodableResourceGivesNone)
{
    test::UiSession session;
    EXPECT_EQ(LoadPngFromResource(999, Self()), nullptr) << "no resource with this id";
    EXPECT_EQ(LoadPngFromResource(IDD_QUIB_DIALOG, Self()), nullptr)
        << "a dialog template is no picture resource";
    EXPECT_EQ(LoadPngFromResource(kBogusPicture, Self()), nullptr) << "bytes GDI+ cannot decode";
}

TEST_F(PngButtonTest, SetImageSizesTheButtonToOneFrameWhereItStood)
{
    RECT before{};
    ::GetWindowRect(m_host.Button(), &before);
    ::MapWindowPoints(nullptr, m_host.m_hWnd, reinterpret_cast<POINT*>(&before), 2);
    ::MoveWindow(m_host.Button(), 120, 7, 90, 40, TRUE);
    m_host.m_button.SetImage(m_strip.get());

    RECT after{};
    ::GetWindowRect(m_host.Button(), &after);
    ::MapWindowPoints(nullptr, m_host.m_hWnd, reinterpret_cast<POINT*>(&after), 2);
    EXPECT_EQ(after.left, 120);
    EXPECT_EQ(after.top, 7);
    EXPECT_EQ(after.right - after.left, 44) << "176 / 4";
    EXPECT_EQ(after.bottom - after.top, 21);
}

TEST_F(PngButtonTest, DrawsTheFrameOfItsStateWithFixedOverPressedOverHover)
{
    EXPECT_EQ(m_host.DrawnFrame(0), PngButton::kFrameNormal);
    EXPECT_EQ(m_host.DrawnFrame(ODS_FOCUS | ODS_DISABLED), PngButton::kFrameNormal)
        << "focus and disabled have no look of their own";

    ::SendMessageW(m_host.Button(), WM_MOUSEHOVER, 0, 0);
    EXPECT_EQ(m_host.DrawnFrame(0), PngButton::kFrameHover);
    EXPECT_EQ(m_host.DrawnFrame(ODS_SELECTED), PngButton::kFramePressed);

    m_host.m_button.m_nFixedState = 1;
    EXPECT_EQ(m_host.DrawnFrame(ODS_SELECTED), PngButton::kFrameFixed);
    EXPECT_EQ(m_host.DrawnFrame(0), PngButton::kFrameFixed);
    m_host.m_button.m_nFixedState = 2;
    EXPECT_EQ(m_host.DrawnFrame(0), PngButton::kFrameHover) << "only 1 fixes the look";

    ::SendMessageW(m_host.Button(), WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(m_host.DrawnFrame(0), PngButton::kFrameNormal);
    EXPECT_EQ(m_host.DrawnFrame(ODS_SELECTED), PngButton::kFramePressed);
}

TEST_F(PngButtonTest, FramesAreCutAtAQuarterOfTheWidthAndNeverScaled)
{
    // 61 columns: frames 15 wide, and column 60 belongs to no frame.
    Gdiplus::Bitmap odd(61, 10, PixelFormat32bppARGB);
    for (int x = 0; x < 61; ++x) {
        for (int y = 0; y < 10; ++y)
            odd.SetPixel(x, y, Gdiplus::Color(255, static_cast<BYTE>(x * 4), 10, 200));
    }
    odd.SetPixel(60, 5, Gdiplus::Color(255, 0, 255, 0));
    m_host.m_button.SetImage(&odd);
    RECT size{};
    ::GetClientRect(m_host.Button(), &size);
    EXPECT_EQ(size.right, 15);
    EXPECT_EQ(size.bottom, 10);

    m_host.m_button.m_nFixedState = 1;
    test::Canvas canvas(20, 12, kMarker);
    DRAWITEMSTRUCT item{ODT_BUTTON,  IDC_BTN_UPDATE, 0, ODA_DRAWENTIRE, 0, m_host.Button(),
                        canvas.Dc(), {0, 0, 20, 12}, 0};
    ::SendMessageW(m_host.m_hWnd, WM_DRAWITEM, IDC_BTN_UPDATE, reinterpret_cast<LPARAM>(&item));
    for (int x = 0; x < 15; ++x) {
        EXPECT_TRUE(test::SameColour(canvas.Pixel(x, 5), RGB((45 + x) * 4, 10, 200), 4))
            << "column " << x << " must show source column " << 45 + x;
    }
    for (int x = 15; x < 20; ++x)
        EXPECT_EQ(canvas.Pixel(x, 5), kMarker) << "nothing is painted beside the frame";
    EXPECT_EQ(canvas.Pixel(3, 11), kMarker) << "nothing is painted below the frame";
}

TEST_F(PngButtonTest, NeverErasesItsBackground)
{
    test::Canvas canvas(44, 21, kMarker);
    EXPECT_NE(
        ::SendMessageW(m_host.Button(), WM_ERASEBKGND, reinterpret_cast<WPARAM>(canvas.Dc()), 0), 0)
        << "the erase must be reported as done";
    EXPECT_EQ(canvas.Pixel(10, 10), kMarker);
}

TEST_F(PngButtonTest, ADoubleClickGivesTwoClickNotifications)
{
    Press(WM_LBUTTONDOWN, 5, 5);
    Press(WM_LBUTTONUP, 5, 5);
    Press(WM_LBUTTONDBLCLK, 5, 5);
    Press(WM_LBUTTONUP, 5, 5);
    EXPECT_EQ(m_host.m_nClicks, 2);
}

TEST_F(PngButtonTest, ReleasingOutsideTheButtonGivesNoClick)
{
    Press(WM_LBUTTONDOWN, 5, 5);
    EXPECT_EQ(m_host.DrawnFrame(::SendMessageW(m_host.Button(), BM_GETSTATE, 0, 0) & BST_PUSHED
                                    ? ODS_SELECTED
                                    : 0),
              PngButton::kFramePressed)
        << "the held button shows its pressed frame";
    Press(WM_LBUTTONUP, 300, 300);
    EXPECT_EQ(m_host.m_nClicks, 0);
    Press(WM_LBUTTONDOWN, 5, 5);
    Press(WM_LBUTTONUP, 5, 5);
    EXPECT_EQ(m_host.m_nClicks, 1);
}

TEST_F(PngButtonTest, ACursorRestingOnTheButtonShowsTheHoverFrame)
{
    RECT rect{};
    ::GetWindowRect(m_host.Button(), &rect);
    ::SetForegroundWindow(m_host.m_hWnd);
    ASSERT_TRUE(::SetCursorPos(rect.left + 5, rect.top + 5));
    Press(WM_MOUSEMOVE, 5, 5);
    EXPECT_TRUE(
        test::WaitUntil([&] { return m_host.DrawnFrame(0) == PngButton::kFrameHover; }, 3000))
        << "the hover notification never came";
    ASSERT_TRUE(::SetCursorPos(rect.left + 300, rect.top + 300));
    EXPECT_TRUE(
        test::WaitUntil([&] { return m_host.DrawnFrame(0) == PngButton::kFrameNormal; }, 3000))
        << "the leave notification never came";
}
