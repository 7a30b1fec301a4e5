#include "archive/ArchiveFile.h"

#include <algorithm>
#include <cstring>

namespace archive {

std::unique_ptr<ArchiveFile> ArchiveFile::Open(const std::wstring& path) noexcept
{
    try {
        std::unique_ptr<ArchiveFile> file(new ArchiveFile());
        file->m_file.Reset(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                         OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        LARGE_INTEGER size = {};
        if (!file->m_file || !::GetFileSizeEx(file->m_file.Get(), &size))
            return nullptr;
        file->m_size = static_cast<std::uint64_t>(size.QuadPart);
        for (Block& block : file->m_blocks)
            block.bytes = std::make_unique_for_overwrite<std::uint8_t[]>(kBlockSize);
        return file;
    } catch (...) {
        return nullptr;
    }
}

ArchiveFile::Block* ArchiveFile::Load(std::uint64_t start) noexcept
{
    ++m_uses;
    for (Block& block : m_blocks) {
        if (block.start == start) {
            block.lastUse = m_uses;
            return &block;
        }
    }
    Block& oldest = m_blocks[0].lastUse <= m_blocks[1].lastUse ? m_blocks[0] : m_blocks[1];
    oldest.start = kNoBlock;
    LARGE_INTEGER at = {};
    at.QuadPart = static_cast<LONGLONG>(start);
    DWORD read = 0;
    const auto wanted = static_cast<DWORD>(std::min<std::uint64_t>(kBlockSize, m_size - start));
    if (!::SetFilePointerEx(m_file.Get(), at, nullptr, FILE_BEGIN) ||
        !::ReadFile(m_file.Get(), oldest.bytes.get(), wanted, &read, nullptr) || read != wanted)
        return nullptr;
    oldest.start = start;
    oldest.length = read;
    oldest.lastUse = m_uses;
    return &oldest;
}

std::span<std::uint8_t> ArchiveFile::View(std::uint64_t offset, std::uint64_t size) noexcept
{
    if (offset >= m_size || size == 0)
        return {};
    const std::uint64_t start = offset - offset % kBlockSize;
    Block* block = Load(start);
    if (!block)
        return {};
    const auto skip = static_cast<std::uint32_t>(offset - start);
    const std::uint64_t available = block->length - skip;
    return {block->bytes.get() + skip, static_cast<size_t>(std::min(available, size))};
}

void ArchiveFile::Forget() noexcept
{
    for (Block& block : m_blocks)
        block.start = kNoBlock;
}

std::uint64_t ArchiveFile::Copy(void* buffer, std::uint64_t size) noexcept
{
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::uint64_t copied = 0;
    while (copied < size) {
        const std::span<std::uint8_t> bytes = View(m_position, size - copied);
        if (bytes.empty())
            break;
        std::memcpy(out + copied, bytes.data(), bytes.size());
        copied += bytes.size();
        m_position += bytes.size();
    }
    return copied;
}

zlib_filefunc64_def ArchiveFile::ReaderFunctions() noexcept
{
    zlib_filefunc64_def functions = {};
    functions.zopen64_file = &OpenStream;
    functions.zread_file = &ReadStream;
    functions.zwrite_file = &WriteStream;
    functions.ztell64_file = &TellStream;
    functions.zseek64_file = &SeekStream;
    functions.zclose_file = &CloseStream;
    functions.zerror_file = &StreamError;
    functions.opaque = this;
    return functions;
}

voidpf ZCALLBACK ArchiveFile::OpenStream(voidpf opaque, const void*, int)
{
    auto* file = static_cast<ArchiveFile*>(opaque);
    file->m_position = 0;
    file->m_failed = false;
    return file;
}

uLong ZCALLBACK ArchiveFile::ReadStream(voidpf, voidpf stream, void* buffer, uLong size)
{
    auto* file = static_cast<ArchiveFile*>(stream);
    const std::uint64_t copied = file->Copy(buffer, size);
    if (copied < size && file->m_position < file->m_size)
        file->m_failed = true;
    return static_cast<uLong>(copied);
}

uLong ZCALLBACK ArchiveFile::WriteStream(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T ZCALLBACK ArchiveFile::TellStream(voidpf, voidpf stream)
{
    return static_cast<ArchiveFile*>(stream)->m_position;
}

long ZCALLBACK ArchiveFile::SeekStream(voidpf, voidpf stream, ZPOS64_T offset, int origin)
{
    auto* file = static_cast<ArchiveFile*>(stream);
    std::uint64_t base = 0;
    if (origin == ZLIB_FILEFUNC_SEEK_CUR)
        base = file->m_position;
    else if (origin == ZLIB_FILEFUNC_SEEK_END)
        base = file->m_size;
    else if (origin != ZLIB_FILEFUNC_SEEK_SET)
        return -1;
    // A position beyond the end is allowed, as for a file; reading there finds nothing.
    file->m_position = base + offset;
    return 0;
}

int ZCALLBACK ArchiveFile::CloseStream(voidpf, voidpf) { return 0; }

int ZCALLBACK ArchiveFile::StreamError(voidpf, voidpf stream)
{
    return static_cast<ArchiveFile*>(stream)->m_failed ? 1 : 0;
}

} // namespace archive
