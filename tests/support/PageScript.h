#pragma once
// Runs a page script through pagescript.exe, as a page would call the bridge.
#include "tests/support/Process.h"

#include <string>
#include <string_view>

namespace test {

struct PageScriptOptions {
    DWORD timeoutSeconds = 20;
    // When set, pagescript.exe is copied there and run from there, so that this folder is the
    // application directory the bridge reports (GetAppPath, the Downloads folder...).
    std::wstring applicationFolder;
};

// The script is UTF-8 text; the result carries pagescript's exit code and its output.
[[nodiscard]] ProcessResult RunPageScript(std::string_view script,
                                          const PageScriptOptions& options = {});

} // namespace test
