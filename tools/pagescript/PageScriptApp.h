#pragma once
// pagescript [--url URL] [--answer BUTTON] FILE.js [timeout-seconds]: runs a page script
// against the real bridge, pumping messages on this (the user-interface) thread until the
// script calls exit() or time runs out. The script's document has the portal page's address as
// the main window opens it (with the version from config.ini), or the one given.
// pagescript --methods, --sites: the bridge's method table, the tool's own sites.
#include "base/Places.h"
#include "framework/WinApp.h"

#include <string>

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
    struct Options {
        std::wstring url;
        int answer = 0; // each box's default button
        const wchar_t* script = nullptr;
        DWORD timeoutSeconds = kDefaultTimeoutSeconds;
    };

    int Run(int argc, wchar_t** argv) noexcept;
    [[nodiscard]] static bool ParseOptions(int argc, wchar_t** argv, Options& options) noexcept;
    [[nodiscard]] int RunScript(const Options& options, const std::wstring& source,
                                const paths::Places& places) noexcept;

    int m_nExitCode = 0;
};

} // namespace pagescript
