#include "download/DownloadRecord.h"

#include "base/Paths.h"
#include "base/TemporaryFile.h"
#include "base/Unique.h"
#include "download/ResponseHeaders.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <iterator>

namespace download {
namespace {

constexpr wchar_t kRecordFolder[] = L"DownloadRecords\\";
constexpr wchar_t kRecordSuffix[] = L"version";
constexpr wchar_t kTempPrefix[] = L"rec";
constexpr uint64_t kTicksPerDay = 24ull * 60 * 60 * 10'000'000; // FILETIME counts 100 ns
constexpr uint64_t kRecordLifetime = 30 * kTicksPerDay;
// The first bytes of every record, with the layout's number: a file of another layout is no
// record of this one.
constexpr char kMagic[8] = {'Q', 'U', 'I', 'B', 'V', 'E', 'R', '1'};

// The record as it lies on disk: fixed fields, read and written whole, without padding.
struct RecordFile {
    char magic[sizeof(kMagic)];
    uint64_t size;
    uint64_t writeTime;
    uint32_t keyLength;
    uint32_t tagLength;
    uint32_t dateLength;
    uint32_t unused;
    wchar_t key[paths::kMaxPath];
    wchar_t tag[ResumeValidator::kCapacity];
    wchar_t date[ResumeValidator::kCapacity];
};
static_assert(sizeof(RecordFile) == 40 + 2 * (paths::kMaxPath + 2 * ResumeValidator::kCapacity));

// '\' between the parts, none doubled, upper case: every spelling Windows takes for the same
// name gives the same key.
std::wstring KeyOf(std::wstring_view name)
{
    std::wstring key;
    for (wchar_t c : name) {
        if (c == L'/')
            c = L'\\';
        if (c != L'\\' || (!key.empty() && key.back() != L'\\'))
            key += c;
    }
    if (!key.empty())
        ::CharUpperBuffW(key.data(), static_cast<DWORD>(key.size()));
    return key;
}

// FNV-1a over the key's UTF-16 units, as 16 hex digits.
std::wstring StemOf(std::wstring_view key)
{
    uint64_t hash = 0xcbf29ce484222325ull;
    for (wchar_t c : key) {
        hash ^= static_cast<uint16_t>(c);
        hash *= 0x100000001b3ull;
    }
    wchar_t digits[17] = {};
    std::swprintf(digits, std::size(digits), L"%016llx", static_cast<unsigned long long>(hash));
    return digits;
}

uint64_t Ticks(const FILETIME& time) noexcept
{
    return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

template <size_t N>
void Store(wchar_t (&field)[N], uint32_t& length, std::wstring_view text) noexcept
{
    length = static_cast<uint32_t>(text.copy(field, N - 1));
}

// A validator read back, when it is the kind of text the server's header would have had to be:
// a record changed by hand must not put anything else into a request.
ResumeValidator Loaded(ResumeValidator::Kind kind, const wchar_t* text, uint32_t length) noexcept
{
    if (length == 0 || length >= ResumeValidator::kCapacity)
        return {};
    const std::wstring_view view(text, length);
    const auto parsed =
        kind == ResumeValidator::Kind::ETag ? ParseStrongETag(view) : ParseLastModified(view);
    return parsed == view ? ResumeValidator(kind, view) : ResumeValidator();
}

} // namespace

std::optional<FileState> StateOf(HANDLE file) noexcept
{
    BY_HANDLE_FILE_INFORMATION information{};
    if (!::GetFileInformationByHandle(file, &information))
        return std::nullopt;
    return FileState{(static_cast<uint64_t>(information.nFileSizeHigh) << 32) |
                         information.nFileSizeLow,
                     Ticks(information.ftLastWriteTime)};
}

std::wstring RecordFolderIn(std::wstring_view appDirectory)
{
    return std::wstring(appDirectory) + kRecordFolder;
}

DownloadRecord::DownloadRecord(std::wstring_view folder, std::wstring_view name)
    : m_folder(folder), m_key(KeyOf(name))
{
    m_stem = StemOf(m_key);
    m_path = CompanionPath(kRecordSuffix);
}

std::wstring DownloadRecord::CompanionPath(std::wstring_view suffix) const
{
    std::wstring path = m_folder + m_stem;
    path.append(L".").append(suffix);
    return path;
}

FileVersion DownloadRecord::Read(const std::optional<FileState>& file) noexcept
{
    if (m_path.empty())
        return {};
    RecordFile record{};
    {
        UniqueFile handle(::CreateFileW(m_path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        LARGE_INTEGER size{};
        DWORD read = 0;
        if (!handle || !::GetFileSizeEx(handle.Get(), &size) || size.QuadPart != sizeof(record) ||
            !::ReadFile(handle.Get(), &record, sizeof(record), &read, nullptr) ||
            read != sizeof(record) || std::memcmp(record.magic, kMagic, sizeof(kMagic)) != 0 ||
            std::wstring_view(record.key, std::min<size_t>(record.keyLength, paths::kMaxPath)) !=
                m_key)
            return {};
    }
    const FileVersion version{
        Loaded(ResumeValidator::Kind::ETag, record.tag, record.tagLength),
        Loaded(ResumeValidator::Kind::LastModified, record.date, record.dateLength)};
    if (!file || *file != FileState{record.size, record.writeTime} || !version.Known()) {
        Drop(); // the file changed since, or went
        return {};
    }
    return version;
}

bool DownloadRecord::Write(const FileVersion& version, const FileState& file) noexcept
{
    if (m_path.empty() || m_key.size() >= paths::kMaxPath ||
        !paths::MakeChain(m_folder, {}, paths::Separators::BackslashOnly))
        return false;
    RecordFile record;
    std::memset(&record, 0, sizeof(record));
    std::memcpy(record.magic, kMagic, sizeof(kMagic));
    record.size = file.size;
    record.writeTime = file.writeTime;
    Store(record.key, record.keyLength, m_key);
    Store(record.tag, record.tagLength, version.tag.View());
    Store(record.date, record.dateLength, version.date.View());
    // Written aside and moved into place whole: a reader meets the old record or the new one.
    TemporaryFile written;
    return written.CreateIn(m_folder, kTempPrefix) && written.Write(&record, sizeof(record)) &&
           written.MoveTo(m_path);
}

void DownloadRecord::Drop() noexcept
{
    if (m_path.empty())
        return;
    try {
        WIN32_FIND_DATAW found{};
        UniqueFindHandle search(::FindFirstFileW(CompanionPath(L"*").c_str(), &found));
        if (!search)
            return;
        do {
            ::DeleteFileW((m_folder + found.cFileName).c_str());
        } while (::FindNextFileW(search.Get(), &found));
    } catch (...) {
        // No memory for a path: what stays is swept or dropped later.
    }
}

void SweepRecords(const std::wstring& folder) noexcept
{
    try {
        FILETIME now{};
        ::GetSystemTimeAsFileTime(&now);
        WIN32_FIND_DATAW found{};
        UniqueFindHandle search(::FindFirstFileW((folder + L"*").c_str(), &found));
        if (!search)
            return;
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                Ticks(found.ftLastWriteTime) + kRecordLifetime < Ticks(now))
                ::DeleteFileW((folder + found.cFileName).c_str());
        } while (::FindNextFileW(search.Get(), &found));
    } catch (...) {
        // No memory for a path: the sweep runs again at the next start.
    }
}

} // namespace download
