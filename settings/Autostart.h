#pragma once
// Starting with Windows: the per-user Run value "QUIB" and the system/autostart setting.
namespace settings {

// On: the Run value names QUIB.exe in the application directory; off: the value is deleted.
// The setting in config.ini follows in either case.
void SetAutostart(bool on) noexcept;

} // namespace settings
