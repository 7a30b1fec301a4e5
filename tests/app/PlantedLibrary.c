/* A library named like a system one, to be planted beside a copy of QUIB.exe: when it is loaded
   it leaves "NAME-loaded.txt" beside itself. Every function the system's library exports is
   exported here as the stub, so that a program that loads it still finds them. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved)
{
    wchar_t path[MAX_PATH + 16] = {0};
    const DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
    wchar_t* extension = wcsrchr(path, L'.');
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH && length > 0 && length < MAX_PATH && extension) {
        wcscpy(extension, L"-loaded.txt");
        CloseHandle(CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL));
    }
    return TRUE;
}

long PlantedStub(void) { return 0; }
