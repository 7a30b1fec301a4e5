#pragma once
// One open zip archive, unpacked entry by entry into a root folder. Built on minizip's reader;
// lives for one extraction on the thread that runs it. No entry of the reader stays open for
// reading between two calls.
#include "archive/ExtractResult.h"
#include "archive/ZipEntryInfo.h"
#include "base/Unique.h"

#include <unzip.h>

#include <cstdint>
#include <memory>
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

class ZipExtractor {
public:
    // The archive opened for reading (others may read it meanwhile), with the process's
    // current folder as root; none, with ExtractCannotOpen, when it is missing or no zip.
    [[nodiscard]] static std::unique_ptr<ZipExtractor> Open(std::wstring_view zipPath,
                                                            ExtractResult& result) noexcept;
    ZipExtractor(const ZipExtractor&) = delete;
    ZipExtractor& operator=(const ZipExtractor&) = delete;
    ~ZipExtractor() { (void)Close(); }

    // The folder that relative destination names are joined to; a separator is appended
    // unless it ends with one. ExtractBadArgument when it would not fit the tool's paths.
    [[nodiscard]] ExtractResult SetBaseDirectory(std::wstring_view directory) noexcept;
    // Entry index, or with index -1 the summary whose index field is the entry count.
    [[nodiscard]] ExtractResult GetEntry(std::int32_t index, ZipEntryInfo& entry) noexcept;
    // Writes entry index to destination, relative to the root unless it is absolute. A
    // relative destination must stay inside the root.
    [[nodiscard]] ExtractResult ExtractEntry(std::int32_t index,
                                             std::wstring_view destination) noexcept;
    // Closes the archive; the buffers go with the object.
    ExtractResult Close() noexcept;

private:
    // What extraction needs to know of the cached entry beyond its record.
    struct EntryFacts {
        bool encrypted = false;
        bool emptyPasswordOpens = false;
    };

    ZipExtractor() = default;
    [[nodiscard]] ExtractResult MoveTo(std::int32_t index) noexcept;
    [[nodiscard]] ExtractResult ReadCurrentEntry(ZipEntryInfo& entry, EntryFacts& facts);
    [[nodiscard]] ExtractResult ReadLocalHeader(const unz_file_info64& file, EntryFacts& facts);
    [[nodiscard]] bool StaysInsideRoot(const std::wstring& path) const;
    [[nodiscard]] ExtractResult ExtractDirectory(std::wstring_view destination);
    [[nodiscard]] ExtractResult ExtractFile(const ZipEntryInfo& entry,
                                            std::wstring_view destination);
    [[nodiscard]] ExtractResult CopyData(const ZipEntryInfo& entry, const std::wstring& folder,
                                         std::wstring_view fileName);

    UniqueZipReader m_reader;
    std::int32_t m_entryCount = 0;
    std::int32_t m_current = -1; // the reader's current entry; -1: start again from the first
    std::int32_t m_cachedIndex = -1;
    ZipEntryInfo m_cached;
    EntryFacts m_cachedFacts;
    std::vector<std::uint8_t> m_localExtra;
    std::unique_ptr<std::uint8_t[]> m_buffer; // the chunk buffer, from the first extraction on
    std::wstring m_root;
    std::wstring m_fullRoot; // m_root as a full path ending with '\'
};

} // namespace archive
