#pragma once
// The room left on the volume a download writes to, so that a body announced larger than there
// is fails before anything is written instead of filling the disk, and one of unknown length
// stops before the player's other programs run out of room: a reserve, the smaller of 64 MiB and
// 1 % of the volume, is never claimed. The system is asked once, and again only when a claim
// exceeds what is left of its last answer. Used by one thread at a time.
#include <cstdint>
#include <string>

namespace download {

class VolumeRoom {
public:
    // Asks for the bytes free to the caller and the volume's size, for a folder on the volume;
    // false when it cannot tell. GetDiskFreeSpaceExW unless a test gives its own.
    using Probe = bool (*)(const wchar_t* folder, std::uint64_t& available,
                           std::uint64_t& total) noexcept;

    VolumeRoom() noexcept = default;
    // folder: a folder on the volume (it must exist by the first claim to be asked about).
    explicit VolumeRoom(std::wstring folder, Probe probe = nullptr) noexcept
        : m_folder(std::move(folder)), m_probe(probe)
    {
    }

    // False when size exceeds the free space less the reserve; otherwise counts it as taken.
    // When the system cannot tell, every claim passes and writing will find out.
    [[nodiscard]] bool Claim(std::uint64_t size) noexcept;

private:
    std::wstring m_folder;
    Probe m_probe = nullptr;
    bool m_known = false;
    std::uint64_t m_left = 0;
};

} // namespace download
