#pragma once
// The file an entry is written to. It is written under a temporary name in a folder of the same
// volume and moved to its final name only once complete, so an entry that fails midway leaves
// neither a half-written file nor a damaged earlier copy behind, and a tool killed mid-write
// leaves at most a "~qb*.tmp" file. The writing thread hands the open file on to the thread that
// moves it into place; one thread at a time uses it.
#include "base/Unique.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace archive {

// "~qb", eight hex digits, ".tmp": a folder needs this much room beyond its own path.
inline constexpr size_t kTemporaryNameLength = 15;

class OutputFile {
public:
    OutputFile() noexcept = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile() { Discard(); }

    // Starts a new temporary file in folder, a full path ending with a separator.
    [[nodiscard]] bool Create(std::wstring_view folder) noexcept;
    [[nodiscard]] bool Write(const void* data, std::uint32_t size) noexcept;
    // Gives the complete file its times and attributes, through its handle.
    [[nodiscard]] bool Finish(std::uint32_t attributes, std::uint64_t creation,
                              std::uint64_t access, std::uint64_t write) noexcept;
    // Moves the file to fullPath, replacing an earlier file there even when it is read-only,
    // and closes it. On failure the written file is discarded.
    [[nodiscard]] bool MoveTo(const std::wstring& fullPath) noexcept;
    // Closes and deletes what was written; nothing to do once moved into place.
    void Discard() noexcept;

private:
    [[nodiscard]] bool Rename(const std::wstring& fullPath) noexcept;

    UniqueFile m_file;
    std::wstring m_path; // the temporary file; empty when there is nothing to discard
};

} // namespace archive
