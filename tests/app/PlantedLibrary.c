/* A library named like a system one, to be planted beside a copy of QUIB.exe: when it is loaded
   it adds its own name to "planted-loaded.txt" beside itself. Every function the system's library
   exports is exported here as the stub, so that a program that loads it still finds them. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved)
{
    (void)reserved;
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    wchar_t path[MAX_PATH + 32] = {0};
    char name[3 * MAX_PATH] = {0};
    DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
    wchar_t* slash = wcsrchr(path, L'\\');
    if (length == 0 || length >= MAX_PATH || !slash)
        return TRUE;
    int bytes = WideCharToMultiByte(CP_UTF8, 0, slash + 1, -1, name, sizeof(name), NULL, NULL);
    wcscpy(slash + 1, L"planted-loaded.txt");
    HANDLE record = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    DWORD written = 0;
    if (record != INVALID_HANDLE_VALUE && bytes > 0) {
        name[bytes - 1] = '\n';
        WriteFile(record, name, (DWORD)bytes, &written, NULL);
    }
    if (record != INVALID_HANDLE_VALUE)
        CloseHandle(record);
    return TRUE;
}

long PlantedStub(void) { return 0; }
