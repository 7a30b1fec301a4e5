#include "archive/FreeSpace.h"

#include "base/Win.h"

namespace archive {

bool FreeSpace::Claim(std::uint64_t size) noexcept
{
    if (size == 0)
        return true;
    if (!m_known || size > m_left) {
        // What earlier entries were counted for is on the disk by now, or was never written.
        ULARGE_INTEGER available = {};
        if (!::GetDiskFreeSpaceExW(m_folder.c_str(), &available, nullptr, nullptr))
            return true;
        m_known = true;
        m_left = available.QuadPart;
        if (size > m_left)
            return false;
    }
    m_left -= size;
    return true;
}

} // namespace archive
