// pagescript: runs a page script against the tool's real bridge, for page authors and tests.
#include "base/LibrarySearch.h"
#include "tools/pagescript/PageScriptApp.h"

pagescript::PageScriptApp theApp;

int wmain()
{
    ::SetConsoleOutputCP(CP_UTF8);
    return framework::AfxWinMain();
}

// The C runtime's own entry, which constructs the globals and calls wmain.
extern "C" int mainCRTStartup();

// The program's entry (the linker's --entry), ahead of the C runtime's: libraries come from the
// system folder only, as in QUIB.exe.
extern "C" int PageScriptEntry()
{
    SearchLibrariesInSystemFolderOnly();
    return mainCRTStartup();
}
