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
    // When set, the current folder of the run: what relative paths of the page refer to.
    std::wstring workingFolder;
    // When set, the address of the script's document, which the bridge checks at each call
    // (pagescript --caller); otherwise the portal page.
    std::wstring caller;
};

// The script is UTF-8 text; the result carries pagescript's exit code and its output.
[[nodiscard]] ProcessResult RunPageScript(std::string_view script,
                                          const PageScriptOptions& options = {});

// The text as a JScript string literal in UTF-8, e.g. a Windows path with its backslashes.
[[nodiscard]] std::string JsString(std::wstring_view text);

} // namespace test
