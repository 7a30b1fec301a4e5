#pragma once
// A real CHtmlCtrl with the real browser control, hosted over the placeholder of a hidden
// dialog (the update-log template), for the tests of the page host and its site.
#include "framework/Dialog.h"
#include "web/HtmlCtrl.h"

#include <gtest/gtest.h>
#include <wrl/client.h>

#include <memory>
#include <string>
#include <vector>

namespace test {

// CHtmlCtrl with its working-set trims and browser events recorded (the trim itself is not
// made: Wine does not trim) and its browser reachable.
class RecordingHtmlCtrl : public CHtmlCtrl {
public:
    int m_nTrims = 0;
    std::vector<std::wstring> m_navigated;
    std::vector<std::pair<long, long>> m_progress;

    [[nodiscard]] IWebBrowser2* Browser() const noexcept { return m_pBrowserApp.Get(); }
    void OnNavigateComplete2(const wchar_t* url) noexcept override;
    void OnProgressChange(long progress, long progressMax) noexcept override;

protected:
    void TrimWorkingSet() noexcept override { ++m_nTrims; }
};

// The dialog and its control; the control is created over the placeholder on Create.
class HostDialog : public framework::CDialog {
public:
    HostDialog() noexcept;
    ~HostDialog() override;

    [[nodiscard]] bool Create() noexcept;
    void Destroy() noexcept;

    std::unique_ptr<RecordingHtmlCtrl> m_pControl = std::make_unique<RecordingHtmlCtrl>();
};

// Navigates and waits (bounded) until the browser reports the address as its location, or
// the given location when the browser writes the address differently.
[[nodiscard]] ::testing::AssertionResult
NavigateAndWait(CHtmlCtrl& control, const std::wstring& url, const std::wstring& location = L"");

// The client site the browser was given, asked of the browser itself.
[[nodiscard]] Microsoft::WRL::ComPtr<IUnknown> ClientSiteOf(IWebBrowser2* browser);

// The object's reference count as it stands.
[[nodiscard]] ULONG ReferenceCount(IUnknown* object);

// Addresses the tests navigate to.
extern const wchar_t kOwnPage[];
extern const wchar_t kUpdateLogPage[];
extern const wchar_t kForeignPage[];

} // namespace test
