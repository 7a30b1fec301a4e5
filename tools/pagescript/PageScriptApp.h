#pragma once
// pagescript [--caller URL] FILE.js [timeout-seconds]: runs a page script against the real
// bridge, pumping messages on this (the user-interface) thread until the script calls exit() or
// time runs out. The script's document has the portal page's address, or the one given.
// pagescript --methods: prints the bridge's method table.
#include "framework/WinApp.h"

namespace pagescript {

class PageScriptApp : public framework::CWinApp {
public:
    void InitInstance() noexcept override;
    int ExitInstance() noexcept override;

    static constexpr int kExitTimeout = 124;
    static constexpr int kExitUsage = 2;
    static constexpr int kExitScriptError = 1;
    static constexpr DWORD kDefaultTimeoutSeconds = 30;

private:
    int Run(int argc, wchar_t** argv) noexcept;

    int m_nExitCode = 0;
};

} // namespace pagescript
