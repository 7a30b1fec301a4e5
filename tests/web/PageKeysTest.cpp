// Keys typed in the page belong to the page: Escape there must not close the dialog that hosts
// it (for the main window that would end the program), while Escape on a dialog control still
// cancels as always.
#include "framework/Dialog.h"
#include "res/resource.h"
#include "tests/support/UiSession.h"
#include "web/HtmlCtrl.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

constexpr UINT kEndMarker = WM_APP + 7;
constexpr int kStillOpen = 42;

// The main window's template: a page over its placeholder and the title-strip buttons.
class PageAndButtons : public framework::CDialog {
public:
    explicit PageAndButtons(bool focusInPage) : CDialog(IDD_QUIB_DIALOG), m_bFocusInPage(focusInPage)
    {
    }

protected:
    BOOL OnInitDialog() noexcept override
    {
        CDialog::OnInitDialog();
        if (!m_page.CreateOverPlaceholder(IDC_WEB_PLACEHOLDER, this))
            return TRUE;
        // The innermost window of the browser is where a player's keys land.
        HWND focus = ::GetDlgItem(m_hWnd, IDC_BTN_CLOSE);
        if (m_bFocusInPage) {
            focus = m_page.m_hWnd;
            while (HWND child = ::GetWindow(focus, GW_CHILD))
                focus = child;
        }
        ::SetFocus(focus);
        m_hFocus = focus;
        ::PostMessageW(focus, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
        ::PostMessageW(focus, WM_KEYUP, VK_ESCAPE, 0xC0010001);
        ::PostMessageW(m_hWnd, kEndMarker, 0, 0);
        return FALSE; // the focus is set
    }
    bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) noexcept override
    {
        if (message == kEndMarker) {
            EndDialog(kStillOpen);
            result = 0;
            return true;
        }
        return CDialog::OnWndMsg(message, wParam, lParam, result);
    }

public:
    HWND m_hFocus = nullptr;

private:
    bool m_bFocusInPage;
    CHtmlCtrl m_page;
};

} // namespace

class PageKeys : public test::UiTest {};

TEST_F(PageKeys, EscapeInThePageLeavesTheDialogOpen)
{
    PageAndButtons dialog(true);
    EXPECT_EQ(dialog.DoModal(), kStillOpen) << "Escape typed in the page cancelled the dialog";
    EXPECT_NE(dialog.m_hFocus, nullptr);
}

TEST_F(PageKeys, EscapeOnADialogControlStillCancels)
{
    PageAndButtons dialog(false);
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
}
