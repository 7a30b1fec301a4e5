#pragma once
// The file an entry is written to. It is written under a temporary name beside its final name
// and moved there only once complete, so an entry that fails midway leaves neither a
// half-written file nor a damaged earlier copy behind. Used on the extracting thread only.
#include "base/Unique.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace archive {

class OutputFile {
public:
    OutputFile() noexcept = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile() { Discard(); }

    // Starts the file that is to become folder + name, with the given attributes. folder is
    // empty or ends with a separator.
    [[nodiscard]] bool Create(std::wstring_view folder, std::wstring_view name,
                              std::uint32_t attributes) noexcept;
    [[nodiscard]] bool Write(const void* data, std::uint32_t size) noexcept;
    [[nodiscard]] bool SetTimes(std::uint64_t creation, std::uint64_t access,
                                std::uint64_t write) noexcept;
    // Puts the complete file in its place, replacing an earlier file of that name even when it
    // is read-only. On failure the written file is discarded.
    [[nodiscard]] bool Commit() noexcept;
    // Closes and deletes what was written; nothing to do once committed.
    void Discard() noexcept;

private:
    [[nodiscard]] bool CreateTemporary(std::wstring_view folder, std::uint32_t attributes);
    [[nodiscard]] bool CreateInPlace(std::uint32_t attributes);

    UniqueFile m_file;
    std::wstring m_path; // the file being written; empty when there is nothing to discard
    std::wstring m_finalPath;
};

} // namespace archive
