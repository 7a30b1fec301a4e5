#include "tests/support/Files.h"
#include "tests/support/Process.h"
#include "tests/support/TempDir.h"
#include "tests/support/Wait.h"

#include <gtest/gtest.h>

namespace {

constexpr wchar_t kTitle[] = L"ZantoValdmarkolTessaly";
constexpr DWORD kStartMs = 20000;
constexpr DWORD kExitMs = 20000;

// A copy of QUIB in an application folder of its own, with a version in its config.ini.
class RunningQuib {
public:
    RunningQuib()
    {
        EXPECT_TRUE(test::CopyProgram(L"QUIB.exe", m_folder.Path()));
        EXPECT_TRUE(test::WriteFileBytes(m_folder.Path(L"config.ini"),
                                         "[quibver]\r\nversion=2.1\r\n"));
    }
    ~RunningQuib()
    {
        if (m_process && ::WaitForSingleObject(m_process.Get(), 0) == WAIT_TIMEOUT)
            ::TerminateProcess(m_process.Get(), 1);
    }

    HWND Start()
    {
        m_process = test::StartProcess(test::Quote(Program()), m_folder.Path());
        if (!m_process)
            return nullptr;
        HWND window = nullptr;
        (void)test::WaitUntil([&] { return (window = OwnWindow()) != nullptr; }, kStartMs);
        // The window gets its title during its initialisation and is shown afterwards; the
        // test acts only on a window whose start-up has finished and whose loop runs.
        if (window && test::WaitUntil([&] { return ::IsWindowVisible(window) != FALSE; }, kStartMs))
            ::WaitForInputIdle(m_process.Get(), kStartMs);
        return window;
    }

    // The top-level window with the title that belongs to this copy's process.
    HWND OwnWindow() const
    {
        HWND window = ::FindWindowW(nullptr, kTitle);
        DWORD pid = 0;
        ::GetWindowThreadProcessId(window, &pid);
        return window && pid == ::GetProcessId(m_process.Get()) ? window : nullptr;
    }

    std::wstring Program() const { return m_folder.Path(L"QUIB.exe"); }
    HANDLE Process() const { return m_process.Get(); }

private:
    test::TempDir m_folder;
    UniqueHandle m_process;
};

// A window of the test's own, to take the foreground away from QUIB.
HWND CreateForegroundThief()
{
    HWND window = ::CreateWindowExW(0, L"STATIC", L"thief", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50,
                                    nullptr, nullptr, nullptr, nullptr);
    ::SetForegroundWindow(window);
    return window;
}

} // namespace

TEST(SingleInstance, SecondStartExitsZeroAndBringsTheFirstForward)
{
    RunningQuib first;
    HWND window = first.Start();
    ASSERT_NE(window, nullptr) << "the first copy's window never appeared";
    EXPECT_TRUE(::IsWindowVisible(window));

    HWND thief = CreateForegroundThief();
    ASSERT_EQ(::GetForegroundWindow(), thief);

    UniqueHandle second = test::StartProcess(test::Quote(first.Program()));
    DWORD code = 99;
    ASSERT_TRUE(test::WaitForExit(second.Get(), kExitMs, code)) << "the second copy kept running";
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(test::WaitUntil([&] { return ::GetForegroundWindow() == window; }, 5000))
        << "the running copy was not brought to the foreground";
    EXPECT_EQ(::FindWindowW(nullptr, kTitle), window) << "the second copy must show no window";
    ::DestroyWindow(thief);

    ::PostMessageW(window, WM_CLOSE, 0, 0);
    ASSERT_TRUE(test::WaitForExit(first.Process(), kExitMs, code));
    EXPECT_EQ(code, 0u) << "a normal exit ends with code 0";
}

TEST(SingleInstance, AHiddenFirstCopyStaysHidden)
{
    RunningQuib first;
    HWND window = first.Start();
    ASSERT_NE(window, nullptr);
    ::ShowWindow(window, SW_HIDE);
    ASSERT_FALSE(::IsWindowVisible(window));

    UniqueHandle second = test::StartProcess(test::Quote(first.Program()));
    DWORD code = 99;
    ASSERT_TRUE(test::WaitForExit(second.Get(), kExitMs, code));
    EXPECT_EQ(code, 0u);
    EXPECT_FALSE(::IsWindowVisible(window)) << "a copy in the tray must stay hidden";

    ::PostMessageW(window, WM_CLOSE, 0, 0);
    ASSERT_TRUE(test::WaitForExit(first.Process(), kExitMs, code));
    EXPECT_EQ(code, 0u);
}

TEST(SingleInstance, AfterTheFirstCopyEndsANewOneStarts)
{
    RunningQuib first;
    HWND window = first.Start();
    ASSERT_NE(window, nullptr);
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    DWORD code = 99;
    ASSERT_TRUE(test::WaitForExit(first.Process(), kExitMs, code));

    RunningQuib next;
    EXPECT_NE(next.Start(), nullptr) << "the mutex must go with the process";
    ::PostMessageW(next.OwnWindow(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(test::WaitForExit(next.Process(), kExitMs, code));
}
