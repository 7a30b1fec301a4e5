#pragma once
// Programs started by tests: any program, and page scripts run by pagescript.exe as a page would
// call the bridge.
#include "base/Unique.h"

#include <string>
#include <string_view>

namespace test {

// Starts a command line in the folder (the current one when empty), with its standard output and
// error going to `output` when that is given; an empty handle when it cannot start.
[[nodiscard]] UniqueHandle StartProcess(const std::wstring& commandLine,
                                        const std::wstring& folder = L"", HANDLE output = nullptr);
// Waits for a process to end; false on timeout. exitCode receives its exit code.
[[nodiscard]] bool WaitForExit(HANDLE process, DWORD timeoutMs, DWORD& exitCode);

// Each is left out when empty.
struct PageScriptOptions {
    std::wstring applicationFolder; // the bridge's (GetAppPath...): pagescript.exe runs from there
    std::wstring workingFolder;     // what the page's relative paths refer to
    std::wstring caller;            // the address of the script's document; else the portal page
};

struct ProcessResult {
    DWORD exitCode = ~0u; // when the script did not start or end in time
    std::string output;   // standard output and error together, as bytes
};

// Runs the script (UTF-8 text) with a 20-second limit.
[[nodiscard]] ProcessResult RunPageScript(std::string_view script,
                                          const PageScriptOptions& options = {});

// The text as a JScript string literal in UTF-8, e.g. a Windows path with its backslashes.
[[nodiscard]] std::string JsString(std::wstring_view text);

} // namespace test
