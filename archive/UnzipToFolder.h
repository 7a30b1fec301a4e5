#pragma once
// Unpacks every entry of a zip archive into a folder: what the page's UnzipFile does.
#include <string_view>

namespace archive {

// 1 when every entry was extracted, 0 otherwise. Runs on the calling thread until the whole
// archive is done. Entries extracted before a failure stay; later ones are not attempted.
[[nodiscard]] int UnzipToFolder(std::wstring_view zipPath, std::wstring_view targetFolder) noexcept;

} // namespace archive
