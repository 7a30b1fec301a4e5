#include "tests/support/PageScript.h"

#include "tests/support/Files.h"
#include "tests/support/TempDir.h"

namespace test {

ProcessResult RunPageScript(std::string_view script, const PageScriptOptions& options)
{
    TempDir scratch;
    const std::wstring scriptPath = scratch.Path(L"page.js");
    if (!WriteFileBytes(scriptPath, script))
        return {};
    std::wstring program = ProgramPath(L"pagescript.exe");
    if (!options.applicationFolder.empty()) {
        if (!CopyProgram(L"pagescript.exe", options.applicationFolder))
            return {};
        program = options.applicationFolder + L"pagescript.exe";
    }
    // A margin over the script's own timeout, so that pagescript reports its timeout itself.
    const DWORD waitMs = (options.timeoutSeconds + 15) * 1000;
    const std::wstring caller =
        options.caller.empty() ? L"" : L"--caller " + Quote(options.caller) + L" ";
    return RunProcess(Quote(program) + L" " + caller + Quote(scriptPath) + L" "
                          + std::to_wstring(options.timeoutSeconds),
                      waitMs, options.workingFolder);
}

std::string JsString(std::wstring_view text)
{
    std::string literal = "\"";
    for (char c : Utf8(text)) {
        if (c == '\\' || c == '"')
            literal += '\\';
        literal += c;
    }
    return literal + "\"";
}

} // namespace test
