#pragma once
// A copy of QUIB.exe started in an application folder of its own, for the tests that need the
// whole program: its single instance, its exit code.
#include "base/Unique.h"
#include "tests/support/TempDir.h"

#include <string>
#include <string_view>

namespace test {

inline constexpr wchar_t kQuibTitle[] = L"ZantoValdmarkolTessaly";
inline constexpr DWORD kQuibStartMs = 20000;
inline constexpr DWORD kQuibExitMs = 20000;

class RunningQuib {
public:
    explicit RunningQuib(std::string_view config = "[quibver]\r\nversion=2.1\r\n");
    RunningQuib(const RunningQuib&) = delete;
    RunningQuib& operator=(const RunningQuib&) = delete;
    ~RunningQuib();

    // Starts the copy and returns its main window once the window runs its loop.
    HWND Start();
    // The top-level window with the title that belongs to this copy's process.
    [[nodiscard]] HWND OwnWindow() const;
    // Waits for the end of the process; false when it kept running.
    [[nodiscard]] bool WaitForExit(DWORD& exitCode) const;

    [[nodiscard]] std::wstring Program() const { return m_folder.Path(L"QUIB.exe"); }
    [[nodiscard]] const TempDir& Folder() const { return m_folder; }
    [[nodiscard]] HANDLE Process() const { return m_process.Get(); }

private:
    TempDir m_folder;
    UniqueHandle m_process;
};

} // namespace test
