#pragma once
// The room left on the volume an extraction writes to, so that an entry that declares more than
// there is fails before its file is made instead of filling the disk. What entries have claimed
// and not yet written counts as taken, however many are being written at once. The system is
// asked once, and again only when an entry claims more than what is left of its last answer.
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace archive {

class FreeSpace {
public:
    using Ask = std::function<std::optional<std::uint64_t>()>;
    // folder: a folder on the volume (it must exist by the first claim to be asked about).
    // ask, if given, answers in place of the system.
    FreeSpace(std::wstring folder, Ask ask) noexcept
        : m_folder(std::move(folder)), m_ask(std::move(ask))
    {
    }

    // False when size exceeds the free space less what earlier claims have still to write;
    // otherwise counts it as taken. When the system cannot tell, every claim passes and
    // writing will find out. Called on one thread.
    [[nodiscard]] bool Claim(std::uint64_t size) noexcept;
    // Part of a claim was written, or will not be (its entry failed); from any thread.
    void Settle(std::uint64_t size) noexcept
    {
        m_unwritten.fetch_sub(size, std::memory_order_relaxed);
    }

private:
    [[nodiscard]] std::optional<std::uint64_t> AskSystem() const noexcept;

    std::wstring m_folder;
    Ask m_ask;
    bool m_known = false;
    std::uint64_t m_left = 0; // the last answer less what was claimed since
    std::atomic<std::uint64_t> m_unwritten{0};
};

} // namespace archive
