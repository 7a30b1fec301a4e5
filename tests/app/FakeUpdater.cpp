// A stand-in for the updater program: each start adds a line to a record in its own folder with
// the show command it was started with, then it ends.
#include <windows.h>

#include <cstdio>
#include <cwchar>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    STARTUPINFOW startup{};
    ::GetStartupInfoW(&startup);
    wchar_t record[MAX_PATH + 20] = {};
    ::GetModuleFileNameW(nullptr, record, MAX_PATH);
    std::wcscpy(std::wcsrchr(record, L'\\') + 1, L"updater-ran.txt");
    FILE* file = _wfopen(record, L"ab");
    const int shown = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
    return file && std::fprintf(file, "show=%d\r\n", shown) > 0 && std::fclose(file) == 0 ? 0 : 1;
}
