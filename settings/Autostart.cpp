#include "settings/Autostart.h"

#include "base/Paths.h"
#include "base/Unique.h"
#include "settings/ConfigFile.h"
#include "settings/Registry.h"

namespace settings {
namespace {

void DeleteRunValue() noexcept
{
    const UniqueHkey key = OpenRegKey(HKEY_CURRENT_USER, kRunKey, KEY_WRITE);
    if (!key)
        return;
    // A value that is not there is what "off" means already.
    (void)::RegDeleteValueW(key.Get(), kRunValueName);
}

} // namespace

std::wstring GetAutostartCommand() noexcept
{
    const std::wstring directory = paths::GetAppDirectory();
    return directory.empty() ? std::wstring() : paths::ConcatPath(directory, kProgramFileName);
}

void SetAutostart(bool on) noexcept
{
    if (on) {
        const std::wstring command = GetAutostartCommand();
        // A bare "QUIB.exe" would start whatever the logon's current folder holds.
        if (!command.empty())
            WriteRegString(kRootCurrentUser, kRunKey, kRunValueName, command);
    } else {
        DeleteRunValue();
    }
    (void)WriteSetting(kSectionSystem, kKeyAutostart, on ? kChoiceOn : kChoiceOff);
}

} // namespace settings
