#pragma once
// The room left on the volume an extraction writes to, so that an entry that declares more than
// there is fails before its file is made instead of filling the disk. The system is asked once,
// and again only when an entry claims more than what is left of its last answer.
#include <cstdint>
#include <string>

namespace archive {

class FreeSpace {
public:
    // folder: a folder on the volume (it must exist by the first claim to be asked about).
    explicit FreeSpace(std::wstring folder) noexcept : m_folder(std::move(folder)) {}

    // False when size exceeds the free space; otherwise counts it as taken. When the system
    // cannot tell, every claim passes and writing will find out.
    [[nodiscard]] bool Claim(std::uint64_t size) noexcept;

private:
    std::wstring m_folder;
    bool m_known = false;
    std::uint64_t m_left = 0;
};

} // namespace archive
