#pragma once
// Unpacks every entry of a zip archive into a folder: what the page's UnzipFile does.
#include "archive/ParallelExtraction.h"

#include <string_view>

namespace archive {

// 1 when every entry was extracted, 0 otherwise. Returns only when the whole archive is done,
// on the calling thread; worker threads write the files meanwhile. Entries extracted before a
// failure stay; nothing of the failing entry or of a later one is left.
[[nodiscard]] int UnzipToFolder(std::wstring_view zipPath, std::wstring_view targetFolder) noexcept;

// The same with a given number of workers (0: the calling thread alone), telling which entry
// failed and why.
[[nodiscard]] ExtractionOutcome
UnzipToFolder(std::wstring_view zipPath, std::wstring_view targetFolder, unsigned workers) noexcept;

} // namespace archive
