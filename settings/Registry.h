#pragma once
// String values in the registry, for the page's GetRegString/SetRegString and the autostart
// entry. Every failure is silent: reads give empty text, writes leave the registry unchanged.
// No key stays open beyond the call that opened it.
#include "base/Unique.h"

#include <string>
#include <string_view>

namespace settings {

// Reads offer a buffer of this many characters (8192 bytes), the terminating NUL included, and
// one of the value's own size to a longer value.
inline constexpr DWORD kRegTextCapacity = 4096;

// The page names a root by a small number n: the predefined key whose handle value is
// 0x80000000 + n (0 classes root, 1 current user, 2 local machine, 3 users...). Null when the
// sum leaves the predefined range, so that no other open handle of the process can be named.
[[nodiscard]] HKEY RootKeyFromNumber(long root) noexcept;

// Reads a string value (REG_SZ or REG_EXPAND_SZ, unexpanded) of an open key into the buffer.
// Returns the platform's error unchanged, ERROR_INVALID_DATA for another type or for data that
// is no NUL-terminated text, else ERROR_SUCCESS with length = characters including the NUL
// (0 for empty data). When the platform fails, the buffer is left holding empty text: what it
// wrote into a buffer that was too small is undefined.
[[nodiscard]] LSTATUS QueryTextValue(HKEY key, const wchar_t* valueName, wchar_t* buffer,
                                     DWORD capacity, DWORD& length) noexcept;

// Opens root\subKey with the access asked for; an empty owner when it cannot be opened.
[[nodiscard]] UniqueHkey OpenRegKey(HKEY root, std::wstring_view subKey, REGSAM access) noexcept;

// Closes an open key and clears the owner; an empty owner is left alone.
void ReleaseRegKey(UniqueHkey& key) noexcept;

// The whole text of root\subKey's value (empty name: the key's default value); empty text when
// the key cannot be opened for reading or the value cannot be read.
// A value of another type reads as its stored bytes taken as text up to the first NUL.
[[nodiscard]] std::wstring ReadRegString(long root, std::wstring_view subKey,
                                         std::wstring_view valueName) noexcept;

// Stores the text as a REG_SZ value in an existing key; creates no key. Nothing is reported.
void WriteRegString(long root, std::wstring_view subKey, std::wstring_view valueName,
                    std::wstring_view text) noexcept;
// The same below an open root (a predefined key or any other).
void WriteRegStringBelow(HKEY root, std::wstring_view subKey, std::wstring_view valueName,
                         std::wstring_view text) noexcept;

} // namespace settings
