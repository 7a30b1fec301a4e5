// A stand-in for the updater program: each start adds a line to a record in its own folder with
// the show command it was started with, then it ends.
#include "base/Win.h"

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    STARTUPINFOW startup{};
    ::GetStartupInfoW(&startup);
    const int shown = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
    wchar_t module[MAX_PATH] = {};
    std::wstring record(module, ::GetModuleFileNameW(nullptr, module, MAX_PATH));
    record = record.substr(0, record.rfind(L'\\') + 1) + L"updater-ran.txt";
    const std::string line = "show=" + std::to_string(shown) + "\r\n";
    HANDLE file = ::CreateFileW(record.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    const BOOL ok = ::WriteFile(file, line.data(), DWORD(line.size()), &written, nullptr);
    ::CloseHandle(file);
    return ok ? 0 : 1;
}
