#include "tools/pagescript/PageScriptApp.h"

#include "base/ComApartment.h"
#include "base/Places.h"
#include "base/Unique.h"
#include "tools/pagescript/Console.h"
#include "tools/pagescript/MethodTable.h"
#include "tools/pagescript/PageHost.h"
#include "tools/pagescript/ScriptHost.h"
#include "web/Sites.h"

#include <shellapi.h>
#include <string>
#include <string_view>

namespace pagescript {
namespace {

struct LocalArgs {
    LocalArgs() noexcept : argv(::CommandLineToArgvW(::GetCommandLineW(), &argc)) {}
    ~LocalArgs() { ::LocalFree(argv); }
    int argc = 0;
    wchar_t** argv;
};

// Far beyond any page's script: a larger file is refused rather than read into memory.
constexpr LONGLONG kMaxScriptBytes = 64LL << 20;

bool ReadScript(const wchar_t* path, std::wstring& source) noexcept
{
    try {
        UniqueFile file(::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        LARGE_INTEGER size{};
        if (!file || !::GetFileSizeEx(file.Get(), &size) || size.QuadPart > kMaxScriptBytes)
            return false;
        std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
        DWORD read = 0;
        if (!bytes.empty()
            && (!::ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read,
                            nullptr)
                || read != bytes.size()))
            return false;
        if (bytes.rfind("\xEF\xBB\xBF", 0) == 0)
            bytes.erase(0, 3);
        const int count = ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(),
                                                static_cast<int>(bytes.size()), nullptr, 0);
        source.assign(static_cast<size_t>(count), L'\0');
        ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()),
                              source.data(), count);
        return true;
    } catch (...) {
        return false;
    }
}

// Pumps this thread's messages until the script is done or the deadline passes; false on
// timeout. Cross-thread COM calls into the page arrive as messages, so this loop is also what
// lets another thread call the script.
bool PumpUntilFinished(const ScriptHost& script, DWORD timeoutMs) noexcept
{
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    while (!script.Finished()) {
        const ULONGLONG now = ::GetTickCount64();
        if (now >= deadline)
            return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now),
                                    QS_ALLINPUT);
        MSG msg;
        while (!script.Finished() && ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT)
                return true;
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    return true;
}

} // namespace

void PageScriptApp::InitInstance() noexcept
{
    LocalArgs args;
    m_nExitCode = Run(args.argc, args.argv);
}

int PageScriptApp::ExitInstance() noexcept { return m_nExitCode; }

int PageScriptApp::Run(int argc, wchar_t** argv) noexcept
{
    if (argc == 2 && std::wstring_view(argv[1]) == L"--methods")
        return PrintMethodTable() ? 0 : kExitScriptError;
    // The script's document is the portal page unless the run names another address.
    std::wstring caller = std::wstring(web::kPortalSite) + web::kPortalPagePath;
    if (argc >= 3 && std::wstring_view(argv[1]) == L"--caller") {
        caller = argv[2];
        argc -= 2;
        argv += 2;
    }
    if (argc < 2 || argc > 3) {
        WriteErrorLine(L"usage: pagescript [--caller URL] FILE.js [timeout-seconds]"
                       L" | pagescript --methods");
        return kExitUsage;
    }
    DWORD timeoutSeconds = kDefaultTimeoutSeconds;
    if (argc == 3) {
        wchar_t* end = nullptr;
        const unsigned long value = ::wcstoul(argv[2], &end, 10);
        if (!end || *end || value == 0 || value > 86400) {
            WriteErrorLine(L"pagescript: the timeout is a number of seconds (1 to 86400)");
            return kExitUsage;
        }
        timeoutSeconds = static_cast<DWORD>(value);
    }
    std::wstring source;
    if (!ReadScript(argv[1], source)) {
        WriteErrorLine(std::wstring(L"pagescript: cannot read ") + argv[1]);
        return kExitUsage;
    }

    // The bridge's folder is the one pagescript runs from, as QUIB's is QUIB.exe's.
    const paths::Places places = paths::Places::ForProgram();
    OleSession ole;
    PageHost host;
    if (!ole.Ok() || !host.Create(places)) {
        WriteErrorLine(L"pagescript: cannot create the page host");
        return kExitScriptError;
    }
    m_pMainWnd = &host;
    ScriptHost script(host.Control()->GetIDispatch(false), caller);
    int code = kExitScriptError;
    if (!script.Run(source)) {
        WriteErrorLine(L"pagescript: the JScript engine cannot be started");
    } else if (!PumpUntilFinished(script, timeoutSeconds * 1000)) {
        WriteErrorLine(L"pagescript: timed out after " + std::to_wstring(timeoutSeconds) + L" s");
        code = kExitTimeout;
    } else {
        code = script.ExitCode();
    }
    script.Close();
    m_pMainWnd = nullptr;
    return code;
}

} // namespace pagescript
