#pragma once
// The choice of the game directory: the folder browser with the check for the game's launcher,
// used by the settings dialog's browse button and by the main window when the page asks for it.
// UI thread, with OLE initialised.
#include "base/Places.h"

#include <string>

// Stores the chosen directory in the places' config.ini (Info/PATH) and returns it, or returns
// empty text after a cancel or a refusal, which it reports to the user. A refusal leaves
// config.ini as it was.
[[nodiscard]] std::wstring ChooseGameDirectory(const paths::Places& places) noexcept;
