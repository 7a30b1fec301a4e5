#include "tests/web/WebHost.h"

#include "res/resource.h"
#include "tests/support/Files.h"
#include "tests/support/Wait.h"

namespace test {

const wchar_t kOwnPage[] =
    L"https://game.valdmark.example/tsly/index.shtml?ToolId=3&ClientVersion=1.0";
const wchar_t kUpdateLogPage[] =
    L"http://tools.valdmark.example:8088/Manager/Update/ToolWeb_Update_List.aspx?ToolId=3";
const wchar_t kForeignPage[] = L"https://game.valdmark.example.attacker.example/tsly/index.shtml";

void RecordingHtmlCtrl::OnNavigateComplete2(const wchar_t* url) noexcept
{
    CHtmlCtrl::OnNavigateComplete2(url);
    m_navigated.emplace_back(url);
}

void RecordingHtmlCtrl::OnProgressChange(long progress, long progressMax) noexcept
{
    CHtmlCtrl::OnProgressChange(progress, progressMax);
    m_progress.emplace_back(progress, progressMax);
}

HostDialog::HostDialog() noexcept : CDialog(IDD_DIALOG_VER) {}

HostDialog::~HostDialog() { Destroy(); }

bool HostDialog::Create() noexcept
{
    return CreateModeless(nullptr) && m_pControl->CreateOverPlaceholder(IDC_LOG_PLACEHOLDER, this);
}

void HostDialog::Destroy() noexcept
{
    if (m_hWnd)
        ::DestroyWindow(m_hWnd);
}

::testing::AssertionResult NavigateAndWait(CHtmlCtrl& control, const std::wstring& url,
                                           const std::wstring& location)
{
    const std::wstring& expected = location.empty() ? url : location;
    const HRESULT hr = control.Navigate(url.c_str());
    if (hr != S_OK)
        return ::testing::AssertionFailure() << "Navigate answered 0x" << std::hex << hr;
    // Wine records the address although no page ever loads; the first navigation after a
    // fresh prefix start can take a moment to do so.
    if (!WaitUntil([&] { return control.GetLocationURL() == expected; }, 10000))
        return ::testing::AssertionFailure()
               << "the browser's location is \"" << Utf8(control.GetLocationURL())
               << "\" 10 s after navigating to \"" << Utf8(url) << "\", not \"" << Utf8(expected)
               << "\"";
    return ::testing::AssertionSuccess();
}

Microsoft::WRL::ComPtr<IUnknown> ClientSiteOf(IWebBrowser2* browser)
{
    Microsoft::WRL::ComPtr<IOleObject> object;
    Microsoft::WRL::ComPtr<IOleClientSite> site;
    Microsoft::WRL::ComPtr<IUnknown> identity;
    if (browser && SUCCEEDED(browser->QueryInterface(IID_PPV_ARGS(&object))) &&
        SUCCEEDED(object->GetClientSite(&site)) && site)
        site.As(&identity);
    return identity;
}

ULONG ReferenceCount(IUnknown* object)
{
    object->AddRef();
    return object->Release();
}

} // namespace test
