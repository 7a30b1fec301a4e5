#pragma once
// Starting the tool at the user's logon: the Run value "QUIB" below the places' registry root,
// switched together with the system/autostart setting in their config.ini. UI thread (the
// settings dialog).
#include "base/Places.h"

namespace settings {

inline constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr wchar_t kRunValueName[] = L"QUIB";

// On: writes the Run value, the application folder followed by "QUIB.exe" whatever the running
// executable is called, and stores "1"; off: deletes it and stores "0". The Run key is never
// created, and the setting is stored even when the registry refused the change.
void SetAutostart(const paths::Places& places, bool on) noexcept;

} // namespace settings
