#pragma once
// pagescript's message boxes: nobody is at the screen to close one, so every box the program
// opens is written to standard output as "BOX caption | text | buttons" and answered at once,
// with the answer the run names when the box has that button, else with the box's default
// button (the one Enter would press).
#include "base/Win.h"

#include <string_view>

namespace pagescript {

// The button id for a name given with --answer (IDOK, IDCANCEL, IDYES, IDNO); 0 for another.
[[nodiscard]] int ButtonFromName(std::wstring_view name) noexcept;

// Takes over every message box of the process; `answer` 0 means each box's default button.
void AnswerMessageBoxes(int answer) noexcept;

} // namespace pagescript
