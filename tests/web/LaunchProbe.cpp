// launch_probe: stands in for the game's launcher. Writes where it was started and how it was
// asked to show itself into "launched.txt" beside itself (UTF-8 lines: the current folder, the
// show command or "none"), then ends. The file appears whole: it is written under another name
// first and renamed. A windows program, as a launcher is: no console is made for it.
#include "base/Text.h"
#include "base/Unique.h"

#include <string>

namespace {

std::wstring OwnFolder()
{
    wchar_t module[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, module, MAX_PATH);
    const std::wstring path(module, length);
    return path.substr(0, path.rfind(L'\\') + 1);
}

std::string Report()
{
    wchar_t folder[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, folder);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    ::GetStartupInfoW(&startup);
    const std::string show = (startup.dwFlags & STARTF_USESHOWWINDOW)
                                 ? std::to_string(startup.wShowWindow)
                                 : std::string("none");
    return text::ToUtf8(folder) + "\n" + show + "\n";
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, wchar_t*, int)
{
    const std::wstring folder = OwnFolder();
    const std::wstring partial = folder + L"launched.tmp";
    const std::string report = Report();
    {
        UniqueFile file(::CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        if (!file ||
            !::WriteFile(file.Get(), report.data(), static_cast<DWORD>(report.size()), &written,
                         nullptr) ||
            written != report.size())
            return 1;
    }
    return ::MoveFileExW(partial.c_str(), (folder + L"launched.txt").c_str(),
                         MOVEFILE_REPLACE_EXISTING)
               ? 0
               : 1;
}
