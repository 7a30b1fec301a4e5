#pragma once
// The main window in the test's own process, modeless, over a folder of the test's own.
#include "app/QUIBDlg.h"
#include "framework/WinApp.h"
#include "tests/support/Files.h"
#include "tests/support/WindowDriver.h"

#include <gtest/gtest.h>

#include <memory>

namespace test {

class MainWindowTest : public UiTest {
protected:
    // config.ini holds `config`, or is missing when that is empty.
    HWND Open(std::string_view config = {}, const std::wstring& updaterUrl = L"")
    {
        ::DeleteFileW(m_folder.Path(L"config.ini").c_str());
        EXPECT_TRUE(config.empty() || WriteFileBytes(m_folder.Path(L"config.ini"), config));
        app::UpdaterRules updater = m_updater;
        updater.toolPath = updater.toolPath.empty() ? ProgramPath(L"QUIB.exe") : updater.toolPath;
        updater.url = updaterUrl;
        m_window = std::make_unique<CQUIBDlg>(MainWindowPlaces{
            {m_folder.Path(), HKEY_CURRENT_USER}, m_folder.Path(L"help.exe"), std::move(updater)});
        m_app.m_pMainWnd = m_window.get();
        return m_hWnd = m_window->CreateModeless(nullptr) ? m_window->GetSafeHwnd() : nullptr;
    }
    void Close()
    {
        if (IsOpen())
            ::DestroyWindow(m_hWnd);
        m_window.reset();
        m_app.m_pMainWnd = nullptr;
    }
    void TearDown() override { Close(); }
    [[nodiscard]] HWND Item(int id) const { return ::GetDlgItem(m_hWnd, id); }
    [[nodiscard]] bool IsOpen() const { return ::IsWindow(m_hWnd); }
    [[nodiscard]] bool IsShown() const { return IsOpen() && ::IsWindowVisible(m_hWnd); }
    LRESULT Command(UINT id) { return ::SendMessageW(m_hWnd, WM_COMMAND, id, 0); }

    framework::CWinApp m_app;
    TempDir m_folder;
    // The tool whose signer an updater must share (the build's if empty), the program's own
    // limits unless a test hands shorter ones; the address comes with Open.
    app::UpdaterRules m_updater;
    std::unique_ptr<CQUIBDlg> m_window;
    HWND m_hWnd = nullptr;
};

// A quit message posted to this thread: removed, with its exit code, or -1 when there is none.
inline int TakeQuitMessage()
{
    MSG msg;
    return ::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) ? int(msg.wParam) : -1;
}

} // namespace test
