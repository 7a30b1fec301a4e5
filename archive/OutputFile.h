#pragma once
// The file an entry is written to: a TemporaryFile ("~qb" and eight hex digits, ".tmp") in a
// folder of the same volume, moved to its final name only once complete, so an entry that fails
// midway leaves neither a half-written file nor a damaged earlier copy behind, and a tool killed
// mid-write leaves at most a "~qb*.tmp" file. Times, attributes and the move go through the open
// handle, which saves the system a lookup of the file for each; the move names its place from
// the held folder it goes to, never by a path. The writing thread hands the open file on to the
// thread that moves it into place; one thread at a time uses it.
#include "base/TemporaryFile.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace archive {

inline constexpr wchar_t kTemporaryPrefix[] = L"~qb";
// The room a temporary name needs in a folder beyond the folder's own path.
inline constexpr size_t kTemporaryNameLength = TemporaryFile::NameLength(kTemporaryPrefix);

class OutputFile {
public:
    // Starts a new temporary file in folder, a full path ending with a separator.
    [[nodiscard]] bool Create(std::wstring_view folder) noexcept;
    [[nodiscard]] bool Write(const void* data, std::uint32_t size) noexcept;
    // Gives the complete file its times and attributes.
    [[nodiscard]] bool Finish(std::uint32_t attributes, std::uint64_t creation,
                              std::uint64_t access, std::uint64_t write) noexcept;
    // Moves the file to name in the open folder, replacing an earlier file there even when it
    // is read-only, and closes it. On failure the written file is discarded.
    [[nodiscard]] bool MoveInto(HANDLE folder, std::wstring_view name) noexcept;
    // Closes and deletes what was written; nothing to do once moved into place.
    void Discard() noexcept { m_file.Discard(); }

private:
    TemporaryFile m_file;
};

} // namespace archive
