#pragma once
// Every message box of the program goes through ShowMessageBox, so that a host without anyone
// at the screen (pagescript, which prints each box and answers it at once) can take them over
// in one place. By default a box is the system's, with the owner, caption, text and type given.
#include "base/Win.h"

namespace framework {

// Shows a box and returns the pressed button's id (IDOK, IDYES...), or 0 when it cannot show.
using MessageBoxHandler = int (*)(HWND owner, const wchar_t* text, const wchar_t* caption,
                                  UINT type) noexcept;

int ShowMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) noexcept;

// Replaces the system's boxes for the whole process (UI thread, before any box can show);
// null brings them back.
void SetMessageBoxHandler(MessageBoxHandler handler) noexcept;

} // namespace framework
