#pragma once
// The main window in the test's own process, modeless, over an application folder of the
// test's own (config.ini, the updater) and with local addresses for what it fetches and opens;
// and a memory canvas to read back what a window paints.
#include "app/QUIBDlg.h"
#include "framework/WinApp.h"
#include "tests/support/Files.h"
#include "tests/support/TempDir.h"
#include "tests/support/UiSession.h"
#include "tests/support/WindowDriver.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace test {

class MainWindowTest : public UiTest {
protected:
    // config.ini gets `config`; when it is empty there is no file.
    void WriteConfig(std::string_view config)
    {
        ::DeleteFileW(m_folder.Path(L"config.ini").c_str());
        EXPECT_TRUE(config.empty() || WriteFileBytes(m_folder.Path(L"config.ini"), config));
    }
    HWND Open(std::string_view config = {}, const std::wstring& updaterUrl = L"")
    {
        WriteConfig(config);
        m_window = std::make_unique<CQUIBDlg>(Places(updaterUrl));
        m_app.m_pMainWnd = m_window.get();
        m_hWnd = m_window->CreateModeless(nullptr) ? m_window->GetSafeHwnd() : nullptr;
        return m_hWnd;
    }
    // The help page is help.exe in the folder; the tool whose signature decides which updater
    // may start is the unsigned build unless a test names another.
    [[nodiscard]] MainWindowPlaces Places(const std::wstring& updaterUrl = L"") const
    {
        return {m_folder.Path(), updaterUrl, m_folder.Path(L"help.exe"),
                m_toolPath.empty() ? ProgramPath(L"QUIB.exe") : m_toolPath, m_updaterLimits};
    }
    void Close()
    {
        if (IsOpen())
            ::DestroyWindow(m_hWnd);
        m_window.reset();
        m_app.m_pMainWnd = nullptr;
        m_hWnd = nullptr;
    }
    void TearDown() override { Close(); }

    [[nodiscard]] HWND Item(int id) const { return ::GetDlgItem(m_hWnd, id); }
    [[nodiscard]] bool IsOpen() const { return m_hWnd && ::IsWindow(m_hWnd); }
    [[nodiscard]] bool IsShown() const { return IsOpen() && ::IsWindowVisible(m_hWnd); }
    // A button click or menu command, as the button or the menu sends it.
    LRESULT Command(UINT id) { return ::SendMessageW(m_hWnd, WM_COMMAND, id, 0); }

    framework::CWinApp m_app;
    TempDir m_folder;
    std::wstring m_toolPath;
    app::FetchLimits m_updaterLimits; // the program's own unless a test hands shorter ones
    std::unique_ptr<CQUIBDlg> m_window;
    HWND m_hWnd = nullptr;
};

// A quit message posted to this thread: removed, with its exit code, or -1 when there is none.
inline int TakeQuitMessage()
{
    MSG msg;
    return ::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) ? int(msg.wParam) : -1;
}

// A 32-bit memory canvas filled with one colour.
class Canvas {
public:
    Canvas(int width, int height, COLORREF fill)
    {
        BITMAPINFO info{{sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
        void* bits = nullptr;
        m_bitmap = ::CreateDIBSection(m_dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        m_old = ::SelectObject(m_dc, m_bitmap);
        const RECT all{0, 0, width, height};
        HBRUSH brush = ::CreateSolidBrush(fill);
        ::FillRect(m_dc, &all, brush);
        ::DeleteObject(brush);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    ~Canvas()
    {
        ::SelectObject(m_dc, m_old);
        ::DeleteObject(m_bitmap);
        ::DeleteDC(m_dc);
    }
    [[nodiscard]] HDC Dc() const { return m_dc; }
    [[nodiscard]] COLORREF Pixel(int x, int y) const
    {
        return ::GdiFlush(), ::GetPixel(m_dc, x, y);
    }

private:
    HDC m_dc = ::CreateCompatibleDC(nullptr);
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_old = nullptr;
};

// Every channel within the tolerance.
inline bool SameColour(COLORREF a, COLORREF b, int tolerance = 4)
{
    return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance &&
           std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
           std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

} // namespace test
