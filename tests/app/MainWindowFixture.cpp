#include "tests/app/MainWindowFixture.h"

#include "res/resource.h"
#include "tests/support/Files.h"
#include "tests/support/Wait.h"
#include "web/HtmlCtrl.h"

#include <algorithm>

namespace test {

MainWindowPlaces MainWindowTest::Places(const std::wstring& updaterUrl) const
{
    return {m_folder.Path(), updaterUrl, m_folder.Path(L"help.exe"),
            m_toolPath.empty() ? ProgramPath(L"QUIB.exe") : m_toolPath, m_updaterLimits};
}

void MainWindowTest::WriteConfig(std::string_view config)
{
    if (!config.empty()) {
        EXPECT_TRUE(WriteFileBytes(m_folder.Path(L"config.ini"), config));
    }
}

HWND MainWindowTest::Open(std::string_view config, const std::wstring& updaterUrl)
{
    WriteConfig(config);
    m_window = std::make_unique<CQUIBDlg>(Places(updaterUrl));
    m_app.m_pMainWnd = m_window.get();
    if (!m_window->CreateModeless(nullptr))
        return nullptr;
    m_hWnd = m_window->GetSafeHwnd();
    return m_hWnd;
}

void MainWindowTest::Close()
{
    if (IsOpen())
        ::DestroyWindow(m_hWnd);
    m_window.reset();
    m_app.m_pMainWnd = nullptr;
    m_hWnd = nullptr;
}

RECT MainWindowTest::ChildRect(int id) const
{
    RECT rect{};
    ::GetWindowRect(Item(id), &rect);
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

std::wstring MainWindowTest::PageAddress() const
{
    auto* page =
        dynamic_cast<CHtmlCtrl*>(framework::CWnd::FromHandlePermanent(Item(IDC_WEB_PLACEHOLDER)));
    return page ? page->GetLocationURL() : L"(no page control)";
}

::testing::AssertionResult MainWindowTest::PageWentTo(const std::wstring& expected) const
{
    if (WaitUntil([&] { return PageAddress() == expected; }, 5000))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "the page went to " << Utf8(PageAddress()) << ", expected " << Utf8(expected);
}

std::vector<std::wstring> MainWindowTest::FolderNames() const
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found{};
    HANDLE search = ::FindFirstFileW(m_folder.Path(L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..")
            names.push_back(name);
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

std::string MainWindowTest::ConfigText() const
{
    return ReadFileBytes(m_folder.Path(L"config.ini"));
}

int TakeQuitMessage()
{
    MSG msg;
    if (!::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
        return -1;
    return static_cast<int>(msg.wParam);
}

} // namespace test
