// pagescript: runs a page script against the tool's real bridge, for page authors and tests.
#include "tools/pagescript/PageScriptApp.h"

pagescript::PageScriptApp theApp;

int wmain()
{
    ::SetConsoleOutputCP(CP_UTF8);
    return framework::AfxWinMain();
}
