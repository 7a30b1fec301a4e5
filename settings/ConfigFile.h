#pragma once
// The tool's settings in the config.ini of its places, read at the moment of use and never
// cached, so that a value written by the page or a dialog is seen by the next reader at once.
#include "base/Places.h"

#include <string>
#include <string_view>

namespace settings {

// Sections and keys as spelled in the file (the profile functions ignore their case).
inline constexpr wchar_t kSectionSystem[] = L"system";
inline constexpr wchar_t kKeyAutostart[] = L"autostart";
inline constexpr wchar_t kKeyExit[] = L"exit";
inline constexpr wchar_t kKeyAutoUpdate[] = L"autoupdate";
inline constexpr wchar_t kSectionInfo[] = L"Info";
inline constexpr wchar_t kKeyGamePath[] = L"PATH";
inline constexpr wchar_t kSectionVersion[] = L"quibver";
inline constexpr wchar_t kKeyVersion[] = L"version";
inline constexpr wchar_t kSectionDownload[] = L"download";
inline constexpr wchar_t kKeyConnections[] = L"connections";

// Reader capacities in characters, the terminating NUL included.
inline constexpr size_t kChoiceCapacity = 20;
inline constexpr size_t kExitRuleCapacity = 10;
inline constexpr size_t kGamePathCapacity = 255;
inline constexpr size_t kVersionCapacity = 120;
inline constexpr size_t kConnectionsCapacity = 10;

// The stored choices; every other value takes the key's fallback meaning.
inline constexpr wchar_t kChoiceOff[] = L"0";
inline constexpr wchar_t kChoiceOn[] = L"1";
inline constexpr wchar_t kChoiceExit[] = L"2";

// Whether a stored value is the choice: character for character, case-sensitive, no trimming.
[[nodiscard]] bool TextEquals(std::wstring_view text, std::wstring_view literal) noexcept;

// Any profile file: the value cut to capacity - 1 characters; empty when missing.
[[nodiscard]] std::wstring ReadProfileValue(std::wstring_view file, std::wstring_view section,
                                             std::wstring_view key, size_t capacity) noexcept;
// Creates the file, section and key as needed; true on success.
[[nodiscard]] bool WriteProfileValue(std::wstring_view file, std::wstring_view section,
                                      std::wstring_view key, std::wstring_view value) noexcept;
// Whether the entry, once written into the file, reads back exactly as written by a reader of
// this capacity. The profile functions change what they cannot store: a line break ends the
// entry and starts another, a key ends at its first '=', a key in brackets reads as a section,
// blanks around a value and a pair of quotes around it are dropped, and a file without a
// Unicode byte-order mark keeps its text in the system's code page, where another character
// becomes '?'. Tried on a scratch copy of the file in the temporary folder; the file is not
// touched.
[[nodiscard]] bool ReadsBackAsWritten(std::wstring_view file, std::wstring_view section,
                                      std::wstring_view key, std::wstring_view value,
                                      size_t capacity) noexcept;

// The same on the tool's own config.ini; nothing is read or written when the places know no
// folder.
[[nodiscard]] std::wstring ReadSetting(const paths::Places& places, std::wstring_view section,
                                       std::wstring_view key, size_t capacity) noexcept;
[[nodiscard]] bool WriteSetting(const paths::Places& places, std::wstring_view section,
                                std::wstring_view key, std::wstring_view value) noexcept;

} // namespace settings
