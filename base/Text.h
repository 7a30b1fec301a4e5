#pragma once
// Conversions from UTF-16 to byte encodings (empty text on failure), and the file system's way
// of comparing names.
#include <string>
#include <string_view>

namespace text {

[[nodiscard]] std::string ToCodePage(std::wstring_view text, unsigned codePage) noexcept;
[[nodiscard]] std::string ToUtf8(std::wstring_view text) noexcept;

// Equal when the file system takes them for the same name: ordinal, case ignored.
[[nodiscard]] bool EqualsIgnoringCase(std::wstring_view a, std::wstring_view b) noexcept;

} // namespace text
