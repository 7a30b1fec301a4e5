#include "tests/app/RunningQuib.h"

#include "tests/support/Files.h"
#include "tests/support/Process.h"
#include "tests/support/Wait.h"

#include <gtest/gtest.h>

namespace test {

RunningQuib::RunningQuib(std::string_view config)
{
    EXPECT_TRUE(CopyProgram(L"QUIB.exe", m_folder.Path()));
    EXPECT_TRUE(WriteFileBytes(m_folder.Path(L"config.ini"), config));
}

RunningQuib::~RunningQuib()
{
    if (m_process && ::WaitForSingleObject(m_process.Get(), 0) == WAIT_TIMEOUT) {
        ::TerminateProcess(m_process.Get(), 1);
        ::WaitForSingleObject(m_process.Get(), kQuibExitMs);
    }
}

HWND RunningQuib::Start()
{
    m_process = StartProcess(Quote(Program()), m_folder.Path());
    if (!m_process)
        return nullptr;
    HWND window = nullptr;
    (void)WaitUntil([&] { return (window = OwnWindow()) != nullptr; }, kQuibStartMs);
    // The window gets its title during its initialisation and is shown afterwards; the test
    // acts only on a window whose start-up has finished and whose loop runs.
    if (window && WaitUntil([&] { return ::IsWindowVisible(window) != FALSE; }, kQuibStartMs))
        ::WaitForInputIdle(m_process.Get(), kQuibStartMs);
    return window;
}

HWND RunningQuib::OwnWindow() const
{
    HWND window = ::FindWindowW(nullptr, kQuibTitle);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    return window && pid == ::GetProcessId(m_process.Get()) ? window : nullptr;
}

bool RunningQuib::WaitForExit(DWORD& exitCode) const
{
    return test::WaitForExit(m_process.Get(), kQuibExitMs, exitCode);
}

} // namespace test
