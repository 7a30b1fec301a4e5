#pragma once
// The requests the script bridge posts to the window that hosts its page control (the main
// window for the portal page), both parameters 0. The host defines what it does with them; a
// host that does not know them lets them go to its default procedure.
#include "base/Win.h"

// From the page (Find): choose the game directory.
inline constexpr UINT WM_BROWSE_GAME_DIR = WM_USER + 1003;
// From the page (UpdateBegin): the server has a newer version.
inline constexpr UINT WM_UPDATE_FOUND = WM_USER + 1004;
