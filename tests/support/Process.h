#pragma once
// Starting programs from tests: run to the end with the output captured, or start and keep.
#include "base/Unique.h"

#include <string>

namespace test {

struct ProcessResult {
    bool started = false;
    bool timedOut = false;
    DWORD exitCode = 0;
    std::string output; // standard output and error together, as bytes
};

// Runs a command line to its end, killing it after timeoutMs; the output is captured.
[[nodiscard]] ProcessResult RunProcess(const std::wstring& commandLine, DWORD timeoutMs,
                                       const std::wstring& workingFolder = L"");

// Starts a program and returns its process handle (empty on failure).
[[nodiscard]] UniqueHandle StartProcess(const std::wstring& commandLine,
                                        const std::wstring& workingFolder = L"");

// Waits for a process to end; false on timeout. exitCode receives its exit code.
[[nodiscard]] bool WaitForExit(HANDLE process, DWORD timeoutMs, DWORD& exitCode);

// Quotes one argument for a Windows command line.
[[nodiscard]] std::wstring Quote(const std::wstring& argument);

} // namespace test
