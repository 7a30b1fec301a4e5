#include "archive/OutputFile.h"

#include "archive/RelativeFiles.h"

namespace archive {

namespace {

// Attributes that make a rename refuse to replace an existing file.
constexpr DWORD kProtectingAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

bool SetAttributes(HANDLE file, DWORD attributes) noexcept
{
    FILE_BASIC_INFO info = {}; // times of 0 are left as they are
    info.FileAttributes = attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
    return ::SetFileInformationByHandle(file, FileBasicInfo, &info, sizeof(info)) != FALSE;
}

LARGE_INTEGER Ticks(std::uint64_t time) noexcept
{
    LARGE_INTEGER ticks = {};
    ticks.QuadPart = static_cast<LONGLONG>(time);
    return ticks;
}

} // namespace

bool OutputFile::Create(std::wstring_view folder) noexcept
{
    // DELETE access lets the finished file be renamed through its handle.
    return m_file.CreateIn(folder, kTemporaryPrefix, FILE_ATTRIBUTE_NORMAL, DELETE);
}

bool OutputFile::Write(const void* data, std::uint32_t size) noexcept
{
    return m_file.Write(data, size);
}

bool OutputFile::Finish(std::uint32_t attributes, std::uint64_t creation, std::uint64_t access,
                        std::uint64_t write) noexcept
{
    FILE_BASIC_INFO info = {};
    info.CreationTime = Ticks(creation);
    info.LastAccessTime = Ticks(access);
    info.LastWriteTime = Ticks(write);
    const DWORD kept = attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY);
    info.FileAttributes = kept ? kept : FILE_ATTRIBUTE_NORMAL;
    return ::SetFileInformationByHandle(m_file.File(), FileBasicInfo, &info, sizeof(info)) != FALSE;
}

bool OutputFile::MoveInto(HANDLE folder, std::wstring_view name) noexcept
{
    if (RenameInto(m_file.File(), folder, name)) {
        m_file.Keep(); // it is the final file now
        return true;
    }
    // Windows refuses to replace a read-only, hidden or system file. Its attributes are asked
    // for only now, so that the common case costs no call; a link or a folder there stays.
    UniqueHandle earlierFile = OpenAttributesIn(folder, name);
    const DWORD earlier = earlierFile ? AttributesOf(earlierFile.Get()) : INVALID_FILE_ATTRIBUTES;
    if (earlier == INVALID_FILE_ATTRIBUTES ||
        (earlier & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ||
        !(earlier & kProtectingAttributes) ||
        !SetAttributes(earlierFile.Get(), earlier & ~kProtectingAttributes)) {
        Discard();
        return false;
    }
    // Open, it could not be replaced.
    earlierFile.Reset();
    if (RenameInto(m_file.File(), folder, name)) {
        m_file.Keep();
        return true;
    }
    earlierFile = OpenAttributesIn(folder, name);
    if (earlierFile)
        (void)SetAttributes(earlierFile.Get(), earlier);
    Discard();
    return false;
}

} // namespace archive
