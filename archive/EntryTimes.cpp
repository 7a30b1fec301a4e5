#include "archive/EntryTimes.h"

#include "base/Win.h"

#include <algorithm>
#include <utility>

namespace archive {

namespace {

constexpr std::uint16_t kExtendedTimestampId = 0x5455; // "UT" read as a little-endian number
constexpr std::uint8_t kHasWriteTime = 0x01;
constexpr std::uint8_t kHasAccessTime = 0x02;
constexpr std::uint8_t kHasCreationTime = 0x04;
// Seconds from 1601-01-01 to 1970-01-01, and file-time ticks per second.
constexpr std::int64_t kUnixEpochSeconds = 11644473600;
constexpr std::int64_t kTicksPerSecond = 10000000;

constexpr std::uint16_t kEarliestDosDate = (1 << 5) | 1; // 1980-01-01
constexpr std::uint16_t kEarliestDosTime = 0;

std::uint16_t ReadU16(std::span<const std::uint8_t> bytes, size_t at) noexcept
{
    return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

std::int32_t ReadI32(std::span<const std::uint8_t> bytes, size_t at) noexcept
{
    const std::uint32_t value = static_cast<std::uint32_t>(bytes[at]) |
                                (static_cast<std::uint32_t>(bytes[at + 1]) << 8) |
                                (static_cast<std::uint32_t>(bytes[at + 2]) << 16) |
                                (static_cast<std::uint32_t>(bytes[at + 3]) << 24);
    return static_cast<std::int32_t>(value);
}

std::uint64_t FromFileTime(const FILETIME& time) noexcept
{
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

FILETIME ToFileTime(std::uint64_t time) noexcept
{
    return {static_cast<DWORD>(time), static_cast<DWORD>(time >> 32)};
}

bool CalendarToFileTime(std::uint16_t dosDate, std::uint16_t dosTime, FILETIME& time) noexcept
{
    SYSTEMTIME calendar = {};
    calendar.wYear = static_cast<WORD>(1980 + (dosDate >> 9));
    calendar.wMonth = static_cast<WORD>((dosDate >> 5) & 15);
    calendar.wDay = static_cast<WORD>(dosDate & 31);
    calendar.wHour = static_cast<WORD>(dosTime >> 11);
    calendar.wMinute = static_cast<WORD>((dosTime >> 5) & 63);
    calendar.wSecond = static_cast<WORD>((dosTime & 31) * 2);
    return ::SystemTimeToFileTime(&calendar, &time) != FALSE;
}

std::uint64_t UnixTimeToFileTime(std::int32_t seconds) noexcept
{
    return static_cast<std::uint64_t>((seconds + kUnixEpochSeconds) * kTicksPerSecond);
}

} // namespace

std::uint64_t DosStampToFileTime(std::uint16_t dosDate, std::uint16_t dosTime) noexcept
{
    FILETIME time = {};
    // SystemTimeToFileTime refuses impossible dates; the fallback keeps every entry's time
    // defined instead of leaving whatever the conversion left behind.
    if (!CalendarToFileTime(dosDate, dosTime, time))
        (void)CalendarToFileTime(kEarliestDosDate, kEarliestDosTime, time);
    return FromFileTime(time);
}

std::uint64_t LocalFileTimeToUtc(std::uint64_t localTime) noexcept
{
    const FILETIME local = ToFileTime(localTime);
    FILETIME utc = {};
    if (!::LocalFileTimeToFileTime(&local, &utc))
        return localTime;
    return FromFileTime(utc);
}

void ApplyExtendedTimestamp(std::span<const std::uint8_t> localExtra, ZipEntryInfo& entry) noexcept
{
    const size_t length = localExtra.size();
    if (length <= 4)
        return;
    size_t offset = 0;
    while (offset + 4 < length) {
        const std::uint16_t id = ReadU16(localExtra, offset);
        const size_t dataSize = ReadU16(localExtra, offset + 2);
        if (id != kExtendedTimestampId) {
            offset += 4 + dataSize;
            continue;
        }
        // A time is read only when it lies inside both the block and the extra field: a block
        // that flags more times than it holds must not lend the next block's bytes as a time.
        const size_t end = std::min(length, offset + 4 + dataSize);
        const std::uint8_t flags = localExtra[offset + 4];
        size_t at = offset + 5;
        const std::pair<std::uint8_t, std::uint64_t ZipEntryInfo::*> fields[] = {
            {kHasWriteTime, &ZipEntryInfo::writeTime},
            {kHasAccessTime, &ZipEntryInfo::accessTime},
            {kHasCreationTime, &ZipEntryInfo::creationTime}};
        for (const auto& [flag, field] : fields) {
            if (!(flags & flag))
                continue;
            if (at + 4 > end)
                return;
            entry.*field = UnixTimeToFileTime(ReadI32(localExtra, at));
            at += 4;
        }
        return;
    }
}

} // namespace archive
