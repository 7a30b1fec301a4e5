#pragma once
// Private window messages of the main window; each is posted with both parameters 0 unless
// stated otherwise.
#include "base/Win.h"

// From the shell, for the tray icon: the icon id and the mouse message.
inline constexpr UINT WM_TRAY_CALLBACK = WM_USER + 1001;
// From the page (Find): choose the game directory.
inline constexpr UINT WM_BROWSE_GAME_DIR = WM_USER + 1003;
// From the page (UpdateBegin): the server has a newer version.
inline constexpr UINT WM_UPDATE_FOUND = WM_USER + 1004;

// The main window's title, by which a second copy finds the first.
inline constexpr wchar_t kMainWindowTitle[] = L"ZantoValdmarkolTessaly";
