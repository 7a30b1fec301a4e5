#pragma once
// Extracting every entry of an open archive with worker threads. The calling thread reads the
// archive's directory and plans each entry, the workers (one per core, at most four, each an
// EntryWriter with its own reader of the archive and its one chunk buffer) write the files under
// temporary names, and the calling thread puts them in place strictly in archive order. So the
// outcome is the one a single extractor reaches entry after entry: the same files, times and
// attributes; at the first failing entry in archive order the extraction ends, the entries
// before it stay, and nothing of it or of a later entry is left. Workers touch no windows.
#include "archive/ExtractResult.h"

#include <cstdint>

namespace archive {

class ZipExtractor;

// How an extraction ended: Ok, or the first entry in archive order that failed and why.
struct ExtractionOutcome {
    ExtractResult result = ExtractResult::Ok;
    std::int32_t failedEntry = -1;
};

// One per core, at most four.
[[nodiscard]] unsigned DefaultWorkerCount() noexcept;

// Extracts every entry of the extractor (its base directory set) under its cleaned name and
// returns when all is done. With no workers, or when none can be started, the calling thread
// extracts entry after entry itself.
[[nodiscard]] ExtractionOutcome ExtractEveryEntry(ZipExtractor& extractor,
                                                  unsigned workers) noexcept;

} // namespace archive
