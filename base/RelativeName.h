#pragma once
// Whether a name that the page or an archive gives stays below the folder it is joined to, and
// names there exactly the file or folder it spells. Both '\' and '/' count as separators: the
// system reads either.
#include <string_view>

namespace names {

// False when the name leads elsewhere or would be read otherwise than it is written: it begins
// with a separator (root, UNC, "\\?\") or a drive; a part holds a character Windows refuses in
// names (control characters, < > : " | ? *; the colon would open a drive or a stream); a part
// ends with a dot or a space (Windows drops them, so "." and ".." are the folder and its parent,
// and "Launch.exe." is "Launch.exe"); a part names a device (CON, NUL, COM1, LPT1... with or
// without an extension), which Windows opens in any folder. Empty parts pass: a doubled or a
// trailing separator stays inside.
[[nodiscard]] bool IsSafeRelativeName(std::wstring_view name) noexcept;

} // namespace names
