#include "tools/pagescript/PageScriptApp.h"

#include "base/ComApartment.h"
#include "base/Places.h"
#include "base/Unique.h"
#include "settings/ConfigFile.h"
#include "tools/pagescript/Console.h"
#include "tools/pagescript/Deadline.h"
#include "tools/pagescript/HostedExternal.h"
#include "tools/pagescript/MessageBoxes.h"
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

// A day: beyond any page's script, and far below what the clock's milliseconds can count.
constexpr unsigned long kMaxTimeoutSeconds = 86400;

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

// The address the main window opens: the portal page with the client version of config.ini.
std::wstring PortalPageAddress(const paths::Places& places)
{
    return std::wstring(web::kPortalSite) + web::kPortalPagePath +
           settings::ReadSetting(places, settings::kSectionVersion, settings::kKeyVersion,
                                 settings::kVersionCapacity);
}

// Pumps this thread's messages until the script is done or the time limit has passed.
// Cross-thread COM calls into the page arrive as messages, so this loop is also what lets
// another thread call the script; the limit's own thread wakes it when time is up.
void PumpUntilFinished(const ScriptHost& script, const Deadline& deadline) noexcept
{
    while (!script.Finished() && !deadline.Expired()) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, INFINITE, QS_ALLINPUT);
        MSG msg;
        while (!script.Finished() && !deadline.Expired() &&
               ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT)
                return;
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
}

constexpr wchar_t kUsage[] =
    L"usage: pagescript [--url URL] [--answer IDOK|IDCANCEL|IDYES|IDNO] FILE.js "
    L"[timeout-seconds] | pagescript --methods | pagescript --sites";

} // namespace

void PageScriptApp::InitInstance() noexcept
{
    LocalArgs args;
    m_nExitCode = Run(args.argc, args.argv);
}

int PageScriptApp::ExitInstance() noexcept { return m_nExitCode; }

bool PageScriptApp::ParseOptions(int argc, wchar_t** argv, Options& options) noexcept
{
    int next = 1;
    for (; next + 1 < argc && argv[next][0] == L'-'; next += 2) {
        const std::wstring_view option = argv[next];
        // --caller is the older name of --url.
        if (option == L"--url" || option == L"--caller") {
            options.url = argv[next + 1];
        } else if (option == L"--answer") {
            options.answer = ButtonFromName(argv[next + 1]);
            if (options.answer == 0)
                return false;
        } else {
            return false;
        }
    }
    if (next >= argc || argc - next > 2)
        return false;
    options.script = argv[next];
    if (argc - next == 2) {
        wchar_t* end = nullptr;
        const unsigned long value = ::wcstoul(argv[next + 1], &end, 10);
        if (!end || *end || value == 0 || value > kMaxTimeoutSeconds)
            return false;
        options.timeoutSeconds = static_cast<DWORD>(value);
    }
    return true;
}

int PageScriptApp::Run(int argc, wchar_t** argv) noexcept
{
    if (argc == 2 && std::wstring_view(argv[1]) == L"--methods")
        return PrintMethodTable() ? 0 : kExitScriptError;
    if (argc == 2 && std::wstring_view(argv[1]) == L"--sites") {
        PrintOwnSites();
        return 0;
    }
    // The bridge's folder is the one pagescript runs from, as QUIB's is QUIB.exe's.
    const paths::Places places = paths::Places::ForProgram();
    Options options;
    std::wstring source;
    try {
        if (!ParseOptions(argc, argv, options)) {
            WriteErrorLine(kUsage);
            return kExitUsage;
        }
        if (options.url.empty())
            options.url = PortalPageAddress(places);
        if (!ReadScript(options.script, source)) {
            WriteErrorLine(std::wstring(L"pagescript: cannot read ") + options.script);
            return kExitUsage;
        }
    } catch (...) {
        return kExitScriptError; // no memory for the address or the script
    }
    return RunScript(options, source, places);
}

int PageScriptApp::RunScript(const Options& options, const std::wstring& source,
                             const paths::Places& places) noexcept
{
    OleSession ole;
    PageHost host;
    if (!ole.Ok() || !host.Create(places)) {
        WriteErrorLine(L"pagescript: cannot create the page host");
        return kExitScriptError;
    }
    AnswerMessageBoxes(options.answer);
    m_pMainWnd = &host;
    HostedExternal external(host.Control()->GetIDispatch(false), host);
    ScriptHost script(&external, options.url);
    Deadline deadline(options.timeoutSeconds, kExitTimeout, &ScriptHost::Interrupt, &script);
    const bool started = deadline.Start() && script.Run(source);
    if (started)
        PumpUntilFinished(script, deadline);
    else
        WriteErrorLine(L"pagescript: the JScript engine cannot be started");
    // The limit, once reached, decides the code whatever the script did meanwhile.
    const int code = !deadline.Finish() ? kExitTimeout
                     : started          ? script.ExitCode()
                                        : kExitScriptError;
    script.Close();
    m_pMainWnd = nullptr;
    return code;
}

} // namespace pagescript
