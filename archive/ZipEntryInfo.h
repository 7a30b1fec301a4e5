#pragma once
// One entry of an open archive as the extractor reports it.
#include <cstdint>

namespace archive {

// Room for an entry's name: the reader delivers at most this many bytes of a raw name, and a
// decoded name holds at most this many characters with its terminating NUL.
inline constexpr std::uint32_t kMaxName = 260;

// Windows file attribute bits an entry can carry.
inline constexpr std::uint32_t kAttributeReadOnly = 0x01;
inline constexpr std::uint32_t kAttributeHidden = 0x02;
inline constexpr std::uint32_t kAttributeSystem = 0x04;
inline constexpr std::uint32_t kAttributeDirectory = 0x10;
inline constexpr std::uint32_t kAttributeArchive = 0x20;

struct ZipEntryInfo {
    // Position in the central directory from 0.
    std::int32_t index = 0;
    // Decoded and cleaned.
    wchar_t name[kMaxName] = {};
    std::uint32_t attributes = 0;
    // File times: 100-nanosecond ticks since 1601-01-01 UTC.
    std::uint64_t accessTime = 0;
    std::uint64_t creationTime = 0;
    std::uint64_t writeTime = 0;
    // From the central directory; an entry of 4 GiB or more reads 0xFFFFFFFF here.
    std::uint32_t compressedSize = 0;
    std::uint32_t uncompressedSize = 0;
};

} // namespace archive
