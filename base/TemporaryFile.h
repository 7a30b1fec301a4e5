#pragma once
// TemporaryFile: the owner of a file that is deleted when the owner goes unless it was moved to
// its final name or kept. Written under a name of its own beside its target and moved there
// when complete, a file leaves nothing behind on any failure, and never a half-written copy in
// the target's place. Used by one thread at a time.
#include "base/Unique.h"

#include <string>
#include <string_view>

class TemporaryFile {
public:
    TemporaryFile() noexcept = default;
    ~TemporaryFile() { Discard(); }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // Discards what the owner held, then creates a new file in the folder (empty, or ending
    // with a separator) under a name that no file there has: the prefix, eight hex digits and
    // ".tmp", counted per process. The file is open for writing (and whatever more access is
    // asked for, such as DELETE to rename it through its handle), shared with nobody, with the
    // attributes given. False when no such file could be made.
    [[nodiscard]] bool CreateIn(std::wstring_view folder, std::wstring_view prefix,
                                DWORD attributes = FILE_ATTRIBUTE_NORMAL,
                                DWORD extraAccess = 0) noexcept;
    // How long CreateIn's names are with the given prefix: the room a folder needs for one
    // beyond its own path.
    [[nodiscard]] static constexpr size_t NameLength(std::wstring_view prefix) noexcept
    {
        return prefix.size() + kCounterDigits + kExtension.size();
    }

    // Empty once nothing is held any more.
    [[nodiscard]] const std::wstring& Path() const noexcept { return m_path; }
    // The open file, for calls such as SetFileTime; INVALID_HANDLE_VALUE once closed.
    [[nodiscard]] HANDLE File() const noexcept { return m_file.Get(); }
    [[nodiscard]] bool Write(const void* data, DWORD size) noexcept;
    // Writes the file's buffers through to the disk.
    [[nodiscard]] bool Flush() noexcept;
    // Closes the file, which stays until it is moved, kept or discarded.
    void Close() noexcept;

    // Closes the file and moves it to the target, replacing a file there that the system lets
    // it replace; from then on the file is the target and no longer deleted. On failure it
    // stays held, and goes with the owner.
    [[nodiscard]] bool MoveTo(const std::wstring& target) noexcept;
    // Closes the written file and opens it again for reading and for renaming through its
    // handle, shared with readers only: while it stays open nobody else can write, rename or
    // delete it. False (the file still held) when it cannot be opened again.
    [[nodiscard]] bool ReopenForReading() noexcept;
    // Renames the open file through its handle (which needs DELETE access: ReopenForReading,
    // or CreateIn with DELETE) to a full path, replacing a file there that the system lets it
    // replace, and closes it; from then on the file is the target. On failure it stays held.
    [[nodiscard]] bool RenameTo(const std::wstring& target) noexcept;
    // Closes the file and leaves it where it is for good.
    void Keep() noexcept;
    // Closes and deletes the file, read-only or not; nothing to do once moved or kept.
    void Discard() noexcept;

private:
    static constexpr size_t kCounterDigits = 8;
    static constexpr std::wstring_view kExtension = L".tmp";

    // The prefix, the next number of this process's count in hex, the extension.
    [[nodiscard]] static std::wstring NextName(std::wstring_view folder, std::wstring_view prefix);

    UniqueFile m_file;
    std::wstring m_path;
};
