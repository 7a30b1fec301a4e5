#pragma once
// An entry's Windows file attributes from the host system that wrote it and its external
// attributes.
#include <cstdint>

namespace archive {

// Hosts 0 (MS-DOS and Windows), 7 (Macintosh), 11 (NTFS) and 14 (VFAT) store DOS attribute bits;
// every other host (3, Unix, above all) stores a Unix mode in the upper 16 bits, of which only
// "directory" and "owner may write" carry over.
[[nodiscard]] std::uint32_t EntryAttributes(std::uint16_t versionMadeBy,
                                            std::uint32_t externalAttributes) noexcept;

} // namespace archive
