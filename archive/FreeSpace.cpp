#include "archive/FreeSpace.h"

#include "base/Win.h"

namespace archive {

bool FreeSpace::Claim(std::uint64_t size) noexcept
{
    if (size == 0)
        return true;
    if (!m_known || size > m_left) {
        // Bytes written since the last answer show in the new one, claims not yet written do
        // not. Counted first, they include what is written while the system is asked, so the
        // room is never overstated.
        const std::uint64_t unwritten = m_unwritten.load(std::memory_order_relaxed);
        const std::optional<std::uint64_t> available = m_ask ? m_ask() : AskSystem();
        if (!available) {
            m_unwritten.fetch_add(size, std::memory_order_relaxed);
            return true;
        }
        m_known = true;
        m_left = *available > unwritten ? *available - unwritten : 0;
        if (size > m_left)
            return false;
    }
    m_left -= size;
    m_unwritten.fetch_add(size, std::memory_order_relaxed);
    return true;
}

std::optional<std::uint64_t> FreeSpace::AskSystem() const noexcept
{
    ULARGE_INTEGER available = {};
    if (!::GetDiskFreeSpaceExW(m_folder.c_str(), &available, nullptr, nullptr))
        return std::nullopt;
    return available.QuadPart;
}

} // namespace archive
