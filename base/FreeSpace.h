#pragma once
// The room left on the volume a task writes to, so that what announces more than there is fails
// before anything is written instead of filling the disk. The system is asked once, and again
// only when a claim exceeds what is left of its last answer. Used by one thread at a time.
#include <cstdint>
#include <string>

class FreeSpace {
public:
    // Asks for the bytes free to the caller and the volume's size, for a folder on the volume;
    // false when it cannot tell. GetDiskFreeSpaceExW unless a test gives its own.
    using Probe = bool (*)(const wchar_t* folder, std::uint64_t& available,
                           std::uint64_t& total) noexcept;
    // What a claim may not take: nothing, or the smaller of 64 MiB and 1 % of the volume, which
    // the other programs of the player need to go on writing.
    enum class Reserve { None, ForOthers };

    FreeSpace() noexcept = default;
    // folder: a folder on the volume (it must exist by the first claim to be asked about).
    explicit FreeSpace(std::wstring folder, Reserve reserve = Reserve::None,
                       Probe probe = nullptr) noexcept
        : m_folder(std::move(folder)), m_reserve(reserve), m_probe(probe)
    {
    }

    // False when size exceeds the free space less the reserve; otherwise counts it as taken.
    // When the system cannot tell, every claim passes and writing will find out.
    [[nodiscard]] bool Claim(std::uint64_t size) noexcept;

private:
    std::wstring m_folder;
    Reserve m_reserve = Reserve::None;
    Probe m_probe = nullptr;
    bool m_known = false;
    std::uint64_t m_left = 0;
};
