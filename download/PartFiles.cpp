#include "download/PartFiles.h"

#include <algorithm>
#include <memory>
#include <new>
#include <string>

namespace download {
namespace {

constexpr wchar_t kPartPrefix[] = L"part";
// Parts are appended through a buffer of this size, made for the copy and let go after it: with
// the receive buffer it is the most a connection's buffers may take (64 KiB), and it takes a
// fifteenth of the calls that pieces of the receive buffer's size would.
constexpr DWORD kCopyChunk = 60 * 1024;

// Throws only std::bad_alloc.
std::wstring PartPath(const DownloadRecord& record, uint64_t start)
{
    return record.CompanionPath(kPartPrefix + std::to_wstring(start));
}

// The first byte of the part named so ("<stem>.part1048576"); nothing for any other name, or
// a number written otherwise than the tool writes it.
std::optional<uint64_t> StartOf(std::wstring_view name)
{
    const size_t dot = name.rfind(L'.');
    if (dot == std::wstring_view::npos)
        return std::nullopt;
    const std::wstring_view suffix = name.substr(dot + 1);
    const size_t prefix = std::size(kPartPrefix) - 1;
    if (suffix.size() <= prefix || suffix.size() > prefix + 20 ||
        suffix.substr(0, prefix) != kPartPrefix)
        return std::nullopt;
    uint64_t start = 0;
    for (wchar_t c : suffix.substr(prefix)) {
        if (c < L'0' || c > L'9')
            return std::nullopt;
        start = start * 10 + static_cast<unsigned>(c - L'0');
    }
    if (kPartPrefix + std::to_wstring(start) != suffix)
        return std::nullopt; // a leading zero, or more than 64 bits
    return start;
}

void DeletePart(const DownloadRecord& record, uint64_t start) noexcept
{
    try {
        ::DeleteFileW(PartPath(record, start).c_str());
    } catch (...) {
        // No memory for the name: the sweep takes the part in time.
    }
}

} // namespace

std::vector<HeldPart> ListParts(const DownloadRecord& record)
{
    std::vector<HeldPart> parts;
    if (!record.IsSet())
        return parts;
    WIN32_FIND_DATAW found{};
    const UniqueFindHandle search(
        ::FindFirstFileW(record.CompanionPath(std::wstring(kPartPrefix) + L"*").c_str(), &found));
    if (!search)
        return parts;
    do {
        const auto start = StartOf(found.cFileName);
        if (start && !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            parts.push_back(
                {*start, (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow});
    } while (::FindNextFileW(search.Get(), &found));
    std::sort(parts.begin(), parts.end(),
              [](const HeldPart& a, const HeldPart& b) { return a.start < b.start; });
    return parts;
}

void KeepFittingParts(std::vector<HeldPart>& parts, const DownloadRecord& record,
                      uint64_t fileLength, uint64_t total) noexcept
{
    std::vector<HeldPart>::iterator kept = parts.begin();
    for (size_t i = 0; i < parts.size(); ++i) {
        const HeldPart part = parts[i];
        const uint64_t limit = i + 1 < parts.size() ? parts[i + 1].start : total;
        const bool fits = part.size > 0 && part.start > fileLength && part.start < limit &&
                          part.size <= limit - part.start &&
                          kept - parts.begin() + 1 < SegmentMap::kCapacity;
        if (fits)
            *kept++ = part;
        else
            DeletePart(record, part.start);
    }
    parts.erase(kept, parts.end());
}

void DropParts(const DownloadRecord& record) noexcept
{
    try {
        for (const HeldPart& part : ListParts(record))
            DeletePart(record, part.start);
    } catch (...) {
        // No memory for the list: the sweep takes the parts in time.
    }
}

UniqueFile OpenPart(const DownloadRecord& record, uint64_t start, uint64_t held) noexcept
{
    try {
        UniqueFile part(::CreateFileW(PartPath(record, start).c_str(), GENERIC_WRITE,
                                      FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                      nullptr));
        LARGE_INTEGER size{};
        LARGE_INTEGER end{};
        end.QuadPart = static_cast<LONGLONG>(held);
        if (!part || !::GetFileSizeEx(part.Get(), &size) ||
            static_cast<uint64_t>(size.QuadPart) < held ||
            !::SetFilePointerEx(part.Get(), end, nullptr, FILE_BEGIN) ||
            !::SetEndOfFile(part.Get()))
            return {};
        return part;
    } catch (...) {
        return {};
    }
}

bool AppendPart(HANDLE file, const DownloadRecord& record, uint64_t start, uint64_t length) noexcept
{
    const std::unique_ptr<BYTE[]> buffer(new (std::nothrow) BYTE[kCopyChunk]);
    if (!buffer)
        return false;
    try {
        const std::wstring path = PartPath(record, start);
        {
            const UniqueFile part(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                                nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN,
                                                nullptr));
            for (uint64_t left = length; left > 0;) {
                const DWORD size = static_cast<DWORD>(std::min<uint64_t>(left, kCopyChunk));
                DWORD read = 0;
                DWORD written = 0;
                if (!part || !::ReadFile(part.Get(), buffer.get(), size, &read, nullptr) ||
                    read != size || !::WriteFile(file, buffer.get(), size, &written, nullptr) ||
                    written != size)
                    return false;
                left -= size;
            }
        }
        ::DeleteFileW(path.c_str());
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace download
