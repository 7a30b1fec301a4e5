#pragma once
// The main window's own messages and names; the page's requests come from the bridge's side
// (web/HostMessages.h).
#include "base/Win.h"

// From the shell, for the tray icon: the icon id and the mouse message.
inline constexpr UINT WM_TRAY_CALLBACK = WM_USER + 1001;

// The main window's title, by which a second copy finds the first.
inline constexpr wchar_t kMainWindowTitle[] = L"ZantoValdmarkolTessaly";
