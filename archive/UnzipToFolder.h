#pragma once
// Unpacks every entry of a zip archive into a folder: what the page's UnzipFile does.
#include "archive/ExtractionWatch.h"
#include "archive/ParallelExtraction.h"

#include <string_view>

namespace archive {

// Ok when every entry was extracted, else the first entry in archive order that failed and why.
// Returns only when the whole archive is done, on the calling thread; workers (0: the calling
// thread alone) write the files meanwhile. Entries extracted before a failure stay; nothing of
// the failing entry or of a later one is left. The folders of the extraction are held until it
// returns.
[[nodiscard]] ExtractionOutcome UnzipToFolder(std::wstring_view zipPath,
                                              std::wstring_view targetFolder,
                                              unsigned workers = DefaultWorkerCount(),
                                              const ExtractionWatch& watch = {}) noexcept;

} // namespace archive
