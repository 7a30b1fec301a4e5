#pragma once
// An entry's times: its DOS date and time (local time) and, when the local extra field has
// one, the extended-timestamp block ("UT") with exact Unix times.
#include "archive/ZipEntryInfo.h"

#include <cstdint>
#include <span>

namespace archive {

// The DOS stamp as a file time, still in local time. A stamp that is no calendar time (month
// 0, day 31 of April, second 60...) stands for the earliest DOS time, 1980-01-01 00:00:00.
[[nodiscard]] std::uint64_t DosStampToFileTime(std::uint16_t dosDate,
                                               std::uint16_t dosTime) noexcept;

// A local file time as UTC, the way the platform converts local file times.
[[nodiscard]] std::uint64_t LocalFileTimeToUtc(std::uint64_t localTime) noexcept;

// Gives the entry the times of the extended-timestamp block of its local extra field, if it
// has one: last write, last access and creation, each only when the block carries it.
void ApplyExtendedTimestamp(std::span<const std::uint8_t> localExtra, ZipEntryInfo& entry) noexcept;

} // namespace archive
