#include "archive/ZipExtractor.h"

#include "archive/EmptyPassword.h"
#include "archive/EntryAttributes.h"
#include "archive/EntryName.h"
#include "archive/EntryTimes.h"
#include "base/Paths.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cwchar>
#include <iterator>

namespace archive {

namespace {

constexpr std::uint32_t kFlagEncrypted = 0x0001;
constexpr std::uint32_t kFlagDataDescriptor = 0x0008;
constexpr std::uint32_t kFlagUtf8Name = 0x0800;
constexpr std::uint32_t kMethodStored = 0;

// An entry of the reader opened for reading; closing it is what checks the data's CRC-32.
struct OpenEntryTraits {
    using Handle = unzFile;
    static unzFile Empty() noexcept { return nullptr; }
    static void Close(unzFile h) noexcept { ::unzCloseCurrentFile(h); }
};
using UniqueOpenEntry = Unique<OpenEntryTraits>;

// The fixed part of a central-directory record, before its name, extra field and comment.
constexpr ZPOS64_T kCentralRecordSize = 46;

std::uint32_t Saturate32(ZPOS64_T size) noexcept
{
    return static_cast<std::uint32_t>(std::min<ZPOS64_T>(size, UINT32_MAX));
}

// minizip's reader never looks for the end record at the very start of the file, so it cannot
// open an archive with no entries, which is that record alone (with its comment, if any).
bool IsEmptyArchive(const std::wstring& path) noexcept
{
    constexpr DWORD kEndRecordSize = 22;
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size = {};
    std::uint8_t record[kEndRecordSize] = {};
    DWORD read = 0;
    if (!file || !::GetFileSizeEx(file.Get(), &size) || size.QuadPart < kEndRecordSize ||
        !::ReadFile(file.Get(), record, kEndRecordSize, &read, nullptr) || read != kEndRecordSize)
        return false;
    static constexpr std::uint8_t kEmptyEndRecord[20] = {'P', 'K', 5, 6}; // all counts zero
    const auto commentLength = static_cast<LONGLONG>(record[20] | (record[21] << 8));
    return std::equal(std::begin(kEmptyEndRecord), std::end(kEmptyEndRecord), record) &&
           size.QuadPart == kEndRecordSize + commentLength;
}

} // namespace

std::unique_ptr<ZipExtractor> ZipExtractor::Open(std::wstring_view zipPath,
                                                 ExtractResult& result) noexcept
{
    result = ExtractResult::CannotOpen;
    try {
        std::unique_ptr<ZipExtractor> extractor(new ZipExtractor());
        wchar_t current[paths::kMaxPath] = {};
        const DWORD length = ::GetCurrentDirectoryW(paths::kMaxPath, current);
        if (length > 0 && length < paths::kMaxPath)
            (void)extractor->SetBaseDirectory(std::wstring_view(current, length));

        // The platform converts local file times with the time zone's present offset, whatever
        // the time; asked once here, not once per entry (Wine reads the zone file each time).
        constexpr std::uint64_t kReference = 1ULL << 58;
        extractor->m_localToUtc = LocalFileTimeToUtc(kReference) - kReference;
        extractor->m_path.assign(zipPath);
        extractor->m_archive = ArchiveFile::Open(extractor->m_path);
        if (!extractor->m_archive)
            return nullptr;
        zlib_filefunc64_def files = extractor->m_archive->ReaderFunctions();
        extractor->m_reader.Reset(::unzOpen2_64(extractor->m_path.c_str(), &files));
        if (!extractor->m_reader) {
            if (!IsEmptyArchive(extractor->m_path))
                return nullptr;
            result = ExtractResult::Ok; // no entries, so the reader is never needed
            return extractor;
        }
        unz_global_info64 global = {};
        if (::unzGetGlobalInfo64(extractor->m_reader.Get(), &global) != UNZ_OK ||
            global.number_entry > INT32_MAX)
            return nullptr;
        extractor->m_entryCount = static_cast<std::int32_t>(global.number_entry);
        // An end record that counts no entries before a central directory that holds some
        // would have nothing extracted and the archive reported complete.
        if (extractor->m_entryCount == 0 &&
            ::unzGoToFirstFile(extractor->m_reader.Get()) == UNZ_OK) {
            result = ExtractResult::BadHeader;
            return nullptr;
        }
        result = ExtractResult::Ok;
        return extractor;
    } catch (...) {
        return nullptr;
    }
}

ExtractResult ZipExtractor::SetBaseDirectory(std::wstring_view directory,
                                            const ExtractionWatch& watch) noexcept
{
    try {
        std::wstring root(directory);
        if (root.empty() || !paths::IsSeparator(root.back(), kNameSeparators))
            root += L'\\';
        if (root.size() >= paths::kMaxPath)
            return ExtractResult::BadArgument;
        m_fullRoot = paths::FullFolderPath(root);
        m_folders.emplace(root);
        m_folders->WatchHeld(watch.folderHeld);
        m_freeSpace.emplace(m_fullRoot, watch.freeSpace);
        m_root = std::move(root);
        return ExtractResult::Ok;
    } catch (...) {
        return ExtractResult::BadArgument;
    }
}

ExtractResult ZipExtractor::GetEntry(std::int32_t index, ZipEntryInfo& entry) noexcept
{
    if (index < 0 || index >= m_entryCount)
        return ExtractResult::BadArgument;
    if (index == m_cachedIndex) {
        entry = m_cached;
        return ExtractResult::Ok;
    }
    try {
        ExtractResult result = MoveTo(index);
        if (result != ExtractResult::Ok)
            return result;
        EntryFacts facts;
        result = ReadCurrentEntry(entry, facts);
        if (result != ExtractResult::Ok)
            return result;
        if (index == m_entryCount - 1 && MoreRecordsFollow())
            return ExtractResult::BadHeader;
        m_cached = entry;
        m_cachedFacts = facts;
        m_cachedIndex = index;
        return ExtractResult::Ok;
    } catch (...) {
        return ExtractResult::ReadFailed; // no memory for the local extra field
    }
}

void ZipExtractor::Close() noexcept
{
    m_writer.reset();
    m_reader.Reset();
    m_archive.reset();
    m_folders.reset();
    m_entryCount = 0;
    m_cachedIndex = -1;
    m_current = -1;
}

ExtractResult ZipExtractor::MoveTo(std::int32_t index) noexcept
{
    if (m_current < 0 || index < m_current) {
        if (::unzGoToFirstFile(m_reader.Get()) != UNZ_OK) {
            m_current = -1;
            return ExtractResult::BadHeader;
        }
        m_current = 0;
    }
    // Each step reads the next central-directory record; one that cannot be read ends the walk
    // here rather than leaving the reader somewhere undefined.
    while (m_current < index) {
        if (::unzGoToNextFile(m_reader.Get()) != UNZ_OK) {
            m_current = -1;
            return ExtractResult::BadHeader;
        }
        ++m_current;
    }
    return ExtractResult::Ok;
}

bool ZipExtractor::MoreRecordsFollow() noexcept
{
    // The end record's count is kept in 16 bits by some tools (65537 entries count as 1) and
    // may be damaged; a count short of the records there are would leave entries unextracted
    // and the archive reported complete. Another valid record right after the last counted one
    // shows it.
    unz_file_info64 last = {};
    if (::unzGetCurrentFileInfo64(m_reader.Get(), &last, nullptr, 0, nullptr, 0, nullptr, 0) !=
        UNZ_OK)
        return true;
    const ZPOS64_T next = ::unzGetOffset64(m_reader.Get()) + kCentralRecordSize +
                          last.size_filename + last.size_file_extra + last.size_file_comment;
    const bool follows = ::unzSetOffset64(m_reader.Get(), next) == UNZ_OK;
    m_current = -1; // the reader has left the last entry
    return follows;
}

ExtractResult ZipExtractor::ReadCurrentEntry(ZipEntryInfo& entry, EntryFacts& facts)
{
    unz_file_info64 file = {};
    char rawName[kMaxName] = {};
    if (::unzGetCurrentFileInfo64(m_reader.Get(), &file, rawName, sizeof(rawName), nullptr, 0,
                                  nullptr, 0) != UNZ_OK)
        return ExtractResult::BadHeader;
    // A longer name would be cut, and a cut name is another name.
    if (file.size_filename > kMaxName)
        return ExtractResult::UnsafeName;
    const ExtractResult result = ReadLocalHeader(file, facts);
    if (result != ExtractResult::Ok)
        return result;

    entry = ZipEntryInfo{};
    entry.index = m_current;
    if (!DecodeEntryName(std::string_view(rawName, file.size_filename),
                         (file.flag & kFlagUtf8Name) != 0, entry.name))
        return ExtractResult::UnsafeName;
    const std::wstring_view decoded(entry.name);
    const std::wstring_view cleaned = CleanEntryName(decoded);
    // Some tools mark folders by the trailing separator alone, with no attributes at all.
    const bool folderByName = EndsWithSeparator(decoded);
    std::wmemmove(entry.name, cleaned.data(), cleaned.size());
    entry.name[cleaned.size()] = L'\0';

    entry.attributes = EntryAttributes(static_cast<std::uint16_t>(file.version),
                                       static_cast<std::uint32_t>(file.external_fa)) |
                       (folderByName ? kAttributeDirectory : 0);
    entry.compressedSize = Saturate32(file.compressed_size);
    entry.uncompressedSize = Saturate32(file.uncompressed_size);
    const std::uint64_t stamp =
        DosStampToFileTime(static_cast<std::uint16_t>(file.dosDate >> 16),
                           static_cast<std::uint16_t>(file.dosDate & 0xFFFF)) +
        m_localToUtc;
    entry.accessTime = entry.creationTime = entry.writeTime = stamp;
    ApplyExtendedTimestamp(m_localExtra, entry);
    return ExtractResult::Ok;
}

ExtractResult ZipExtractor::ReadLocalHeader(const unz_file_info64& file, EntryFacts& facts)
{
    // minizip's reader would hand out other methods' data raw; only these two can be inflated.
    if (file.compression_method != kMethodStored && file.compression_method != Z_DEFLATED)
        return ExtractResult::BadHeader;
    // Opened raw, the entry gets the reader's local-header check without starting inflate.
    if (::unzOpenCurrentFile2(m_reader.Get(), nullptr, nullptr, 1) != UNZ_OK)
        return ExtractResult::BadHeader;
    UniqueOpenEntry open(m_reader.Get());

    const int size = ::unzGetLocalExtrafield(m_reader.Get(), nullptr, 0);
    if (size < 0)
        return ExtractResult::ReadFailed;
    m_localExtra.resize(static_cast<size_t>(size));
    if (size > 0 && ::unzGetLocalExtrafield(m_reader.Get(), m_localExtra.data(),
                                            static_cast<unsigned>(size)) != size)
        return ExtractResult::ReadFailed;

    facts = EntryFacts{};
    facts.data.method = static_cast<std::uint16_t>(file.compression_method);
    facts.data.crc = static_cast<std::uint32_t>(file.crc);
    facts.data.offset = ::unzGetCurrentFileZStreamPos64(m_reader.Get());
    facts.data.compressedSize = file.compressed_size;
    facts.data.uncompressedSize = file.uncompressed_size;
    facts.data.encrypted = (file.flag & kFlagEncrypted) != 0;
    if (facts.data.encrypted) {
        std::array<std::uint8_t, kEncryptionHeaderSize> header = {};
        const auto check = static_cast<std::uint8_t>(
            (file.flag & kFlagDataDescriptor) ? (file.dosDate >> 8) & 0xFF : file.crc >> 24);
        facts.emptyPasswordOpens =
            ::unzReadCurrentFile(m_reader.Get(), header.data(), kEncryptionHeaderSize) ==
                static_cast<int>(kEncryptionHeaderSize) &&
            EmptyPasswordOpens(header, check);
    }
    return ExtractResult::Ok;
}

} // namespace archive
