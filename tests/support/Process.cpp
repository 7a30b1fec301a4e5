#include "tests/support/Process.h"

#include <vector>

namespace test {
namespace {

constexpr DWORD kDrainPollMs = 10;
constexpr DWORD kDrainLimitMs = 5000;

// The child has ended, so all it wrote is in the pipe already. Grandchildren may hold the pipe
// open for long (under Wine, the desktop process that a first window starts inherits it), so
// the reader is stopped once the pipe is empty instead of waiting for its end.
void StopReaderWhenDrained(HANDLE reader, HANDLE pipe)
{
    const ULONGLONG deadline = ::GetTickCount64() + kDrainLimitMs;
    while (::WaitForSingleObject(reader, kDrainPollMs) == WAIT_TIMEOUT) {
        DWORD available = 0;
        const bool drained = !::PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)
                             || available == 0;
        // The cancel may find the reader between two reads; it is repeated until it ends.
        if (drained || ::GetTickCount64() >= deadline)
            ::CancelSynchronousIo(reader);
    }
}

} // namespace

std::wstring Quote(const std::wstring& argument) { return L"\"" + argument + L"\""; }

ProcessResult RunProcess(const std::wstring& commandLine, DWORD timeoutMs,
                         const std::wstring& workingFolder)
{
    ProcessResult result;
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    UniqueHandle readEnd, writeEnd;
    if (!::CreatePipe(readEnd.Put(), writeEnd.Put(), &inherit, 0))
        return result;
    ::SetHandleInformation(readEnd.Get(), HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = writeEnd.Get();
    startup.hStdError = writeEnd.Get();
    PROCESS_INFORMATION info{};
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                          workingFolder.empty() ? nullptr : workingFolder.c_str(), &startup,
                          &info))
        return result;
    result.started = true;
    UniqueHandle process(info.hProcess), thread(info.hThread);
    writeEnd.Reset(); // the child holds the only write end now: EOF when it ends

    struct ReaderState {
        HANDLE pipe;
        std::string* output;
    } state{readEnd.Get(), &result.output};
    UniqueHandle reader(::CreateThread(
        nullptr, 0,
        [](void* parameter) -> DWORD {
            auto* reading = static_cast<ReaderState*>(parameter);
            char buffer[4096];
            DWORD read = 0;
            while (::ReadFile(reading->pipe, buffer, sizeof(buffer), &read, nullptr) && read > 0)
                reading->output->append(buffer, read);
            return 0;
        },
        &state, 0, nullptr));
    if (::WaitForSingleObject(process.Get(), timeoutMs) != WAIT_OBJECT_0) {
        result.timedOut = true;
        ::TerminateProcess(process.Get(), 255);
        ::WaitForSingleObject(process.Get(), 5000);
    }
    ::GetExitCodeProcess(process.Get(), &result.exitCode);
    if (reader)
        StopReaderWhenDrained(reader.Get(), readEnd.Get());
    return result;
}

UniqueHandle StartProcess(const std::wstring& commandLine, const std::wstring& workingFolder)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          workingFolder.empty() ? nullptr : workingFolder.c_str(), &startup,
                          &info))
        return UniqueHandle();
    ::CloseHandle(info.hThread);
    return UniqueHandle(info.hProcess);
}

bool WaitForExit(HANDLE process, DWORD timeoutMs, DWORD& exitCode)
{
    if (::WaitForSingleObject(process, timeoutMs) != WAIT_OBJECT_0)
        return false;
    return ::GetExitCodeProcess(process, &exitCode) != FALSE;
}

} // namespace test
