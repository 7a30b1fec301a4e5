#pragma once
// One open zip archive, unpacked entry by entry into a root folder. Built on minizip's reader,
// which reads the archive through a cache of its own; lives for one extraction on the thread
// that runs it. No entry of the reader stays open for reading between two calls.
//
// Extracting an entry has three steps, which a parallel extraction spreads over threads: the
// plan (the entry's record, the checks on its name, place, size and password), the writing of
// its data into a temporary file (EntryWriter), and the placing (its folders, held open until
// the extractor goes, then the move of the complete file to its name in the held folder).
#include "archive/ArchiveFile.h"
#include "archive/Directories.h"
#include "archive/EntryPlan.h"
#include "archive/EntryWriter.h"
#include "archive/ExtractionWatch.h"
#include "archive/ExtractResult.h"
#include "archive/FreeSpace.h"
#include "archive/OutputFile.h"
#include "archive/ZipEntryInfo.h"
#include "base/Unique.h"

#include <unzip.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace archive {

struct ZipReaderTraits {
    using Handle = unzFile;
    static unzFile Empty() noexcept { return nullptr; }
    static void Close(unzFile h) noexcept { ::unzClose(h); }
};
using UniqueZipReader = Unique<ZipReaderTraits>;

// The extractor's interface is the one UnzipToFolder walks: Open, SetBaseDirectory, GetEntry and
// ExtractEntry for each entry, Close.
class ZipExtractor {
public:
    // The archive opened for reading (others may read it meanwhile), with the process's
    // current folder as root; none, with CannotOpen, when it is missing or no zip.
    [[nodiscard]] static std::unique_ptr<ZipExtractor> Open(std::wstring_view zipPath,
                                                            ExtractResult& result) noexcept;
    ZipExtractor(const ZipExtractor&) = delete;
    ZipExtractor& operator=(const ZipExtractor&) = delete;
    ~ZipExtractor() { Close(); }

    // The folder that destination names are joined to; a separator is appended unless it ends
    // with one. BadArgument when it would not fit the tool's paths. watch, if given, is kept
    // for the extraction below it.
    [[nodiscard]] ExtractResult SetBaseDirectory(std::wstring_view directory,
                                                 const ExtractionWatch& watch = {}) noexcept;
    [[nodiscard]] std::int32_t EntryCount() const noexcept { return m_entryCount; }
    [[nodiscard]] ExtractResult GetEntry(std::int32_t index, ZipEntryInfo& entry) noexcept;
    // Writes entry index to destination, below the root: it must stay inside the root, pass
    // through no link or junction and name what Windows creates as a plain file or folder.
    [[nodiscard]] ExtractResult ExtractEntry(std::int32_t index,
                                             std::wstring_view destination) noexcept;
    // Closes the archive and lets go of the folders held; the buffers go with the object.
    void Close() noexcept;

    // The steps of ExtractEntry, for a caller that writes on other threads. PlanEntry and
    // PlaceEntry run on this extractor's thread, PlaceEntry in archive order.
    [[nodiscard]] ExtractResult PlanEntry(std::int32_t index, std::wstring_view destination,
                                          EntryPlan& plan) noexcept;
    [[nodiscard]] ExtractResult PlaceEntry(const EntryPlan& plan, OutputFile& file) noexcept;
    // Another reader of the same archive file, for a writer on another thread.
    [[nodiscard]] std::unique_ptr<ArchiveFile> OpenArchiveAgain() const noexcept;

private:
    // What extraction needs to know of the cached entry beyond its record.
    struct EntryFacts {
        EntryData data;
        bool emptyPasswordOpens = false;
    };

    ZipExtractor() = default;
    [[nodiscard]] ExtractResult MoveTo(std::int32_t index) noexcept;
    // Whether the central directory holds a record beyond the current, last counted entry's.
    [[nodiscard]] bool MoreRecordsFollow() noexcept;
    [[nodiscard]] ExtractResult ReadCurrentEntry(ZipEntryInfo& entry, EntryFacts& facts);
    [[nodiscard]] ExtractResult ReadLocalHeader(const unz_file_info64& file, EntryFacts& facts);
    [[nodiscard]] bool IsInsideRoot(std::wstring_view destination) const;
    [[nodiscard]] ExtractResult PlanFile(std::wstring_view destination, EntryPlan& plan);

    std::wstring m_path;
    std::uint64_t m_localToUtc = 0; // added to a local file time (modulo 2^64) gives UTC
    std::unique_ptr<ArchiveFile> m_archive;
    UniqueZipReader m_reader; // reads through m_archive, so it closes first
    std::int32_t m_entryCount = 0;
    std::int32_t m_current = -1; // the reader's current entry; -1: start again from the first
    std::int32_t m_cachedIndex = -1;
    ZipEntryInfo m_cached;
    EntryFacts m_cachedFacts;
    std::vector<std::uint8_t> m_localExtra;
    std::unique_ptr<EntryWriter> m_writer; // for ExtractEntry, from its first file on
    std::wstring m_root;
    std::wstring m_fullRoot; // m_root as a full path ending with '\'
    std::optional<FolderMaker> m_folders;
    std::optional<FreeSpace> m_freeSpace;
};

} // namespace archive
