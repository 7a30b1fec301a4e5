#pragma once
// A real CHtmlCtrl with the real browser over the placeholder of one of QUIB's dialogs. Under
// Wine no page ever loads, but the browser records the address it was sent to.
#include "framework/Dialog.h"
#include "res/resource.h"
#include "tests/support/Files.h"
#include "tests/support/WindowDriver.h"
#include "web/HtmlCtrl.h"

#include <functional>
#include <memory>

namespace test {

inline constexpr wchar_t kOwnPage[] = L"https://game.valdmark.example/tsly/index.shtml?ToolId=3";
inline constexpr wchar_t kUpdateLogPage[] = L"http://tools.valdmark.example:8088/Update.aspx";

// The control with its working-set trims counted instead of made, and its browser reachable.
class PageCtrl : public CHtmlCtrl {
public:
    using CHtmlCtrl::CHtmlCtrl;
    IWebBrowser2* Browser() const noexcept { return m_pBrowserApp.Get(); }
    int m_nTrims = 0;

protected:
    void TrimWorkingSet() noexcept override { ++m_nTrims; }
};

// The update-log dialog, or the main window's; m_onInit runs once its control is there.
class PageDialog : public framework::CDialog {
public:
    explicit PageDialog(bool main = false) noexcept
        : CDialog(main ? IDD_QUIB_DIALOG : IDD_DIALOG_VER),
          m_nPlaceholder(main ? IDC_WEB_PLACEHOLDER : IDC_LOG_PLACEHOLDER)
    {
    }
    ~PageDialog() override { ::DestroyWindow(m_hWnd); }
    bool Create(CWnd* owner = nullptr) { return CreateModeless(owner) && m_pControl->m_hWnd; }
    PageCtrl& Control() noexcept { return *m_pControl; }

    const paths::Places m_places = paths::Places::ForProgram(); // as the program's would be
    std::unique_ptr<PageCtrl> m_pControl = std::make_unique<PageCtrl>(m_places);
    std::function<void()> m_onInit;

protected:
    BOOL OnInitDialog() noexcept override
    {
        CDialog::OnInitDialog();
        if (m_pControl->CreateOverPlaceholder(m_nPlaceholder, this) && m_onInit)
            m_onInit();
        return TRUE;
    }

private:
    UINT m_nPlaceholder;
};

// Navigates and waits (bounded) until the browser reports the address as its location.
inline ::testing::AssertionResult NavigateAndWait(CHtmlCtrl& page, const std::wstring& url)
{
    if (page.Navigate(url.c_str()) == S_OK &&
        WaitUntil([&] { return page.GetLocationURL() == url; }, 10000))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "not at " << Utf8(url) << " 10 s later";
}

} // namespace test
