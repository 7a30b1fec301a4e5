#include "archive/EntryAttributes.h"

#include "archive/ZipEntryInfo.h"

namespace archive {

namespace {

constexpr std::uint32_t kUnixDirectory = 0x40000000;  // S_IFDIR << 16
constexpr std::uint32_t kUnixOwnerWrite = 0x00800000; // S_IWUSR << 16

bool StoresDosAttributes(std::uint16_t host) noexcept
{
    return host == 0 || host == 7 || host == 11 || host == 14;
}

} // namespace

std::uint32_t EntryAttributes(std::uint16_t versionMadeBy,
                              std::uint32_t externalAttributes) noexcept
{
    const std::uint16_t host = versionMadeBy >> 8;
    if (StoresDosAttributes(host)) {
        return externalAttributes & (kAttributeReadOnly | kAttributeHidden | kAttributeSystem |
                                     kAttributeDirectory | kAttributeArchive);
    }
    std::uint32_t attributes = kAttributeArchive;
    if (externalAttributes & kUnixDirectory)
        attributes |= kAttributeDirectory;
    if (!(externalAttributes & kUnixOwnerWrite))
        attributes |= kAttributeReadOnly;
    return attributes;
}

} // namespace archive
