#pragma once
// The main window in the test's own process, modeless, over an application folder of the
// test's own (config.ini, the updater) and with local addresses for what it fetches and opens.
#include "app/QUIBDlg.h"
#include "framework/WinApp.h"
#include "tests/support/TempDir.h"
#include "tests/support/UiSession.h"
#include "tests/support/WindowDriver.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace test {

class MainWindowTest : public UiTest {
protected:
    // Opens the window; config.ini gets `config` unless it is empty (then there is no file).
    HWND Open(std::string_view config = {}, const std::wstring& updaterUrl = L"");
    // The test's folder and addresses: the help page is help.exe in the folder.
    [[nodiscard]] MainWindowPlaces Places(const std::wstring& updaterUrl = L"") const;
    void WriteConfig(std::string_view config);
    void Close();
    void TearDown() override { Close(); }

    [[nodiscard]] HWND Item(int id) const { return ::GetDlgItem(m_hWnd, id); }
    // A child's rectangle in the window's client coordinates.
    [[nodiscard]] RECT ChildRect(int id) const;
    [[nodiscard]] std::wstring PageAddress() const;
    // Whether the page control was sent to the address (a browser may take a moment to tell).
    [[nodiscard]] ::testing::AssertionResult PageWentTo(const std::wstring& expected) const;
    [[nodiscard]] bool IsOpen() const { return m_hWnd && ::IsWindow(m_hWnd); }
    // Sends a button click or menu command, as the button or the menu would.
    LRESULT Command(UINT id) { return ::SendMessageW(m_hWnd, WM_COMMAND, id, 0); }
    // The names in the application folder, sorted.
    [[nodiscard]] std::vector<std::wstring> FolderNames() const;
    [[nodiscard]] std::string ConfigText() const;

    framework::CWinApp m_app;
    TempDir m_folder;
    // The tool whose signature decides which updater may start: the unsigned build unless a
    // test hands a signed copy.
    std::wstring m_toolPath;
    // What bounds the updater's fetch: the program's defaults unless a test hands shorter ones.
    app::FetchLimits m_updaterLimits;
    std::unique_ptr<CQUIBDlg> m_window;
    HWND m_hWnd = nullptr;
};

// A quit message posted to this thread: removed, with its exit code, or -1 when there is none.
[[nodiscard]] int TakeQuitMessage();

} // namespace test
