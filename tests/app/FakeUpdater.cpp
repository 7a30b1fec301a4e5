// A stand-in for the updater program that the tool fetches and starts: it adds a line to a
// record in its own folder, saying that it ran and with which show command it was started,
// then ends. Every start adds its own line, so a second start shows.
#include "base/Win.h"

#include <cstdio>
#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    ::GetStartupInfoW(&startup);
    const int shown = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;

    wchar_t module[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, module, MAX_PATH);
    std::wstring record(module, length);
    record = record.substr(0, record.rfind(L'\\') + 1) + L"updater-ran.txt";

    char text[64];
    const int size = std::snprintf(text, sizeof(text), "show=%d\r\n", shown);
    HANDLE file =
        ::CreateFileW(record.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    const BOOL ok = ::WriteFile(file, text, static_cast<DWORD>(size), &written, nullptr);
    ::CloseHandle(file);
    return ok ? 0 : 1;
}
