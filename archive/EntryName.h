#pragma once
// Entry names: decoding the raw bytes, and cleaning off drive letters, leading separators and
// "..\" steps. Whether what is left can be written safely inside a folder is
// names::IsSafeRelativeName's to tell.
#include "archive/ZipEntryInfo.h"
#include "base/Paths.h"

#include <span>
#include <string_view>

namespace archive {

// Both '\' and '/' count as separators in entry names.
inline constexpr paths::Separators kNameSeparators = paths::Separators::BackslashOrSlash;

// Decodes a raw name into name: as UTF-8 when the entry says so (general-purpose bit 11),
// otherwise in the system's ANSI code page. False when the decoded name does not fit (it may
// hold kMaxName - 1 characters) or holds a NUL, which would cut it short.
[[nodiscard]] bool DecodeEntryName(std::string_view raw, bool utf8,
                                   std::span<wchar_t, kMaxName> name) noexcept;

// What is left of a name after skipping, again and again, a drive letter with its colon, a
// leading separator, or everything up to and including a "..\" step inside it. A suffix of
// the name, separators as they were.
[[nodiscard]] std::wstring_view CleanEntryName(std::wstring_view name) noexcept;

[[nodiscard]] bool EndsWithSeparator(std::wstring_view name) noexcept;

} // namespace archive
