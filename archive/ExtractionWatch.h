#pragma once
// What a test may watch or stand in for during an extraction. Both are called on the thread
// that plans the entries and puts them in place.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace archive {

struct ExtractionWatch {
    // After a folder below the root is first held, with its full path.
    std::function<void(const std::wstring&)> folderHeld;
    // In place of the system's answer for the free space of the target's volume.
    std::function<std::optional<std::uint64_t>()> freeSpace;
};

} // namespace archive
