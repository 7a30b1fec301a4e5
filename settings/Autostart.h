#pragma once
// Starting the tool at the user's logon: the per-user Run value "QUIB", switched together with
// the system/autostart setting in config.ini. UI thread (the settings dialog).
#include <string>

namespace settings {

inline constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr wchar_t kRunValueName[] = L"QUIB";
inline constexpr wchar_t kProgramFileName[] = L"QUIB.exe";

// What the Run value holds: the application directory followed by "QUIB.exe", whatever the
// running executable is called; empty when the directory cannot be told.
[[nodiscard]] std::wstring GetAutostartCommand() noexcept;

// On: writes the Run value and stores "1"; off: deletes it and stores "0". The Run key is
// never created, and the setting is stored even when the registry refused the change.
void SetAutostart(bool on) noexcept;

} // namespace settings
