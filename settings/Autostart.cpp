#include "settings/Autostart.h"

#include "settings/ConfigFile.h"

namespace settings {

void SetAutostart(bool on) noexcept
{
    (void)WriteSetting(kSectionSystem, kKeyAutostart, on ? kChoiceOn : kChoiceOff);
}

} // namespace settings
