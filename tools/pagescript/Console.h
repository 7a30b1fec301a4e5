#pragma once
// Lines to standard output and error, in UTF-8 whatever the console's code page.
#include <string_view>

namespace pagescript {

void WriteLine(std::wstring_view text) noexcept;
void WriteErrorLine(std::wstring_view text) noexcept;

} // namespace pagescript
