// The process entry: the one application object and the framework's start.
#include "app/QUIBApp.h"
#include "base/LibrarySearch.h"

CQUIBApp theApp;

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    return framework::AfxWinMain();
}

// The C runtime's own entry, which constructs the globals and calls wWinMain.
extern "C" int WinMainCRTStartup();

// The program's entry (the linker's --entry), ahead of the C runtime's: libraries come from the
// system folder only before any code of the program or its runtime can load one.
extern "C" int QuibEntry()
{
    SearchLibrariesInSystemFolderOnly();
    return WinMainCRTStartup();
}
