#include "tests/support/Process.h"

#include "tests/support/Files.h"

namespace test {

UniqueHandle StartProcess(const std::wstring& commandLine, const std::wstring& folder,
                          HANDLE output)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = output;
    PROCESS_INFORMATION info{};
    std::wstring line = commandLine; // CreateProcessW may write to it
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, output != nullptr, 0, nullptr,
                          folder.empty() ? nullptr : folder.c_str(), &startup, &info))
        return UniqueHandle();
    const UniqueHandle thread(info.hThread); // not needed: only the process is waited for
    return UniqueHandle(info.hProcess);
}

bool WaitForExit(HANDLE process, DWORD timeoutMs, DWORD& exitCode)
{
    return ::WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0 &&
           ::GetExitCodeProcess(process, &exitCode);
}

ProcessResult RunPageScript(std::string_view script, const PageScriptOptions& options)
{
    TempDir scratch;
    const std::wstring& app = options.applicationFolder;
    const std::wstring program = (app.empty() ? ProgramPath() : app) + L"pagescript.exe";
    // The output goes to a file, not a pipe: under Wine, the desktop process that a first window
    // starts inherits the handle, and a pipe would not end before that process does.
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    UniqueFile output(::CreateFileW(scratch.Path(L"output").c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    ProcessResult result;
    if ((!app.empty() &&
         !::CopyFileW(ProgramPath(L"pagescript.exe").c_str(), program.c_str(), 0)) ||
        !WriteFileBytes(scratch.Path(L"page.js"), script))
        return result;
    const std::wstring caller =
        options.caller.empty() ? L"" : L"--caller \"" + options.caller + L"\" ";
    UniqueHandle process = StartProcess(L"\"" + program + L"\" " + caller + L"\"" +
                                            scratch.Path(L"page.js") + L"\" 20",
                                        options.workingFolder, output.Get());
    // A margin over the script's own limit, so that pagescript reports its timeout itself.
    if (process && !WaitForExit(process.Get(), 35000, result.exitCode)) {
        ::TerminateProcess(process.Get(), 255);
        ::WaitForSingleObject(process.Get(), 5000);
    }
    output.Reset();
    result.output = ReadFileBytes(scratch.Path(L"output"));
    return result;
}

std::string JsString(std::wstring_view text)
{
    std::string literal = "\"";
    for (char c : Utf8(text))
        literal += c == '\\' || c == '"' ? std::string{'\\', c} : std::string{c};
    return literal + "\"";
}

} // namespace test
