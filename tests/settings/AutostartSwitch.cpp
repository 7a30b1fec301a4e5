// autostart_switch on|off: switches autostart as the settings dialog does, from whatever folder
// the tests copied this program to, so that the folder is the application directory.
#include "settings/Autostart.h"

#include <cwchar>

int wmain(int argc, wchar_t** argv)
{
    constexpr int kUsage = 2;
    if (argc != 2)
        return kUsage;
    if (std::wcscmp(argv[1], L"on") == 0)
        settings::SetAutostart(true);
    else if (std::wcscmp(argv[1], L"off") == 0)
        settings::SetAutostart(false);
    else
        return kUsage;
    return 0;
}
