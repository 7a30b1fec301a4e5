#include "settings/Autostart.h"

#include "base/Unique.h"
#include "settings/ConfigFile.h"
#include "settings/Registry.h"

namespace settings {
namespace {

constexpr wchar_t kProgramFileName[] = L"QUIB.exe";

void DeleteRunValue(HKEY root) noexcept
{
    const UniqueHkey key = OpenRegKey(root, kRunKey, KEY_WRITE);
    if (!key)
        return;
    // A value that is not there is what "off" means already.
    (void)::RegDeleteValueW(key.Get(), kRunValueName);
}

} // namespace

void SetAutostart(const paths::Places& places, bool on) noexcept
{
    if (on) {
        const std::wstring command = places.InAppDirectory(kProgramFileName);
        // A bare "QUIB.exe" would start whatever the logon's current folder holds.
        if (!command.empty())
            WriteRegStringBelow(places.RegistryRoot(), kRunKey, kRunValueName, command);
    } else {
        DeleteRunValue(places.RegistryRoot());
    }
    (void)WriteSetting(places, kSectionSystem, kKeyAutostart, on ? kChoiceOn : kChoiceOff);
}

} // namespace settings
