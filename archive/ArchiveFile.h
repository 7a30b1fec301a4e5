#pragma once
// The archive file read through a cache of two 64 KiB blocks. minizip's own Win32 file functions
// read every header field with a call of its own; through this cache a header costs a memory
// copy, and one block serves the central directory while the other follows the entries. Each
// reader of an archive has its own ArchiveFile; it is used on one thread at a time.
#include "base/Unique.h"

#include <ioapi.h>

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace archive {

class ArchiveFile {
public:
    // The file opened for reading, sharing read access; none when it cannot be opened.
    [[nodiscard]] static std::unique_ptr<ArchiveFile> Open(const std::wstring& path) noexcept;
    ArchiveFile(const ArchiveFile&) = delete;
    ArchiveFile& operator=(const ArchiveFile&) = delete;

    // The bytes from offset to the end of its block, at most size of them, read in when the block
    // is not cached. Empty at the end of the file or when reading fails. The bytes stay valid
    // until the next call and may be changed in place (decrypted) if Forget follows.
    [[nodiscard]] std::span<std::uint8_t> View(std::uint64_t offset, std::uint64_t size) noexcept;
    // Drops the cached blocks, so that bytes changed in place are never handed out again.
    void Forget() noexcept;

    // File functions for minizip's reader, which then reads and seeks through the cache. The
    // file stays owned here: the reader's close leaves it open.
    [[nodiscard]] zlib_filefunc64_def ReaderFunctions() noexcept;

private:
    static constexpr std::uint32_t kBlockSize = 64 * 1024;
    static constexpr std::uint64_t kNoBlock = UINT64_MAX;
    struct Block {
        std::uint64_t start = kNoBlock;
        std::uint32_t length = 0;
        std::uint64_t lastUse = 0;
        std::unique_ptr<std::uint8_t[]> bytes;
    };

    ArchiveFile() = default;
    [[nodiscard]] Block* Load(std::uint64_t start) noexcept;
    [[nodiscard]] std::uint64_t Copy(void* buffer, std::uint64_t size) noexcept;

    static voidpf ZCALLBACK OpenStream(voidpf opaque, const void* name, int mode);
    static uLong ZCALLBACK ReadStream(voidpf opaque, voidpf stream, void* buffer, uLong size);
    static uLong ZCALLBACK WriteStream(voidpf opaque, voidpf stream, const void* buffer,
                                       uLong size);
    static ZPOS64_T ZCALLBACK TellStream(voidpf opaque, voidpf stream);
    static long ZCALLBACK SeekStream(voidpf opaque, voidpf stream, ZPOS64_T offset, int origin);
    static int ZCALLBACK CloseStream(voidpf opaque, voidpf stream);
    static int ZCALLBACK StreamError(voidpf opaque, voidpf stream);

    UniqueFile m_file;
    std::uint64_t m_size = 0;
    std::array<Block, 2> m_blocks;
    std::uint64_t m_uses = 0;
    std::uint64_t m_position = 0; // the reader's position
    bool m_failed = false;        // a read of the reader's failed
};

} // namespace archive
