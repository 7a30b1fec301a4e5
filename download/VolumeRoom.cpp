#include "download/VolumeRoom.h"

#include "base/Win.h"

#include <algorithm>

namespace download {
namespace {

constexpr std::uint64_t kLargestReserve = 64ull << 20;
constexpr std::uint64_t kReservePercent = 1;

bool AskSystem(const wchar_t* folder, std::uint64_t& available, std::uint64_t& total) noexcept
{
    ULARGE_INTEGER free = {};
    ULARGE_INTEGER size = {};
    if (!::GetDiskFreeSpaceExW(folder, &free, &size, nullptr))
        return false;
    available = free.QuadPart;
    total = size.QuadPart;
    return true;
}

} // namespace

bool VolumeRoom::Claim(std::uint64_t size) noexcept
{
    if (size == 0)
        return true;
    if (!m_known || size > m_left) {
        // What earlier claims were counted for is on the disk by now, or was never written.
        std::uint64_t available = 0;
        std::uint64_t total = 0;
        if (!(m_probe ? m_probe : AskSystem)(m_folder.c_str(), available, total))
            return true;
        const std::uint64_t reserve = std::min(kLargestReserve, total / 100 * kReservePercent);
        m_known = true;
        m_left = available > reserve ? available - reserve : 0;
        if (size > m_left)
            return false;
    }
    m_left -= size;
    return true;
}

} // namespace download
