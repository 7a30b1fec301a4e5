#pragma once
// Reading windows the way a test sees them.
#include "base/Win.h"

#include <string>

namespace test {

// The text as the window itself answers it (an edit box's current contents).
[[nodiscard]] std::wstring WindowText(HWND window);
// The text the system keeps for the window (a caption, a static's text), read without a message
// to the window's thread, which may be busy in a modal loop.
[[nodiscard]] std::wstring StoredWindowText(HWND window);
[[nodiscard]] std::wstring ClassName(HWND window);
// A message box's message. Wine does not give the text the id 0xFFFF that Windows does, and
// the icon is a static control too, so the longest static text is taken.
[[nodiscard]] std::wstring MessageBoxText(HWND box);

} // namespace test
