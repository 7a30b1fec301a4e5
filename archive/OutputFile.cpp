#include "archive/OutputFile.h"

#include <cstring>
#include <memory>

namespace archive {

namespace {

// Attributes that make a rename refuse to replace an existing file.
constexpr DWORD kProtectingAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

LARGE_INTEGER Ticks(std::uint64_t time) noexcept
{
    LARGE_INTEGER ticks = {};
    ticks.QuadPart = static_cast<LONGLONG>(time);
    return ticks;
}

// The native form of a full path ("\??\C:\x", "\??\UNC\server\share\x"), which renaming through
// a handle needs; '/' is no separator there.
std::wstring NativePath(const std::wstring& fullPath)
{
    std::wstring native;
    if (fullPath.rfind(L"\\\\?\\", 0) == 0)
        native = L"\\??\\" + fullPath.substr(4);
    else if (fullPath.rfind(L"\\\\", 0) == 0)
        native = L"\\??\\UNC\\" + fullPath.substr(2);
    else
        native = L"\\??\\" + fullPath;
    for (wchar_t& c : native) {
        if (c == L'/')
            c = L'\\';
    }
    return native;
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

bool OutputFile::Rename(const std::wstring& fullPath) noexcept
{
    try {
        const std::wstring native = NativePath(fullPath);
        const size_t nameBytes = native.size() * sizeof(wchar_t);
        const size_t size = offsetof(FILE_RENAME_INFO, FileName) + nameBytes + sizeof(wchar_t);
        auto storage = std::make_unique<std::uint8_t[]>(size);
        auto* info = reinterpret_cast<FILE_RENAME_INFO*>(storage.get());
        info->ReplaceIfExists = TRUE;
        info->FileNameLength = static_cast<DWORD>(nameBytes);
        std::memcpy(info->FileName, native.c_str(), nameBytes + sizeof(wchar_t));
        return ::SetFileInformationByHandle(m_file.File(), FileRenameInfo, info,
                                            static_cast<DWORD>(size)) != FALSE;
    } catch (...) {
        return false;
    }
}

bool OutputFile::MoveTo(const std::wstring& fullPath) noexcept
{
    if (Rename(fullPath)) {
        m_file.Keep(); // it is the final file now
        return true;
    }
    // Windows refuses to replace a read-only, hidden or system file. Its attributes are asked
    // for only now, so that the common case costs no call; a link or a folder there stays.
    const DWORD earlier = ::GetFileAttributesW(fullPath.c_str());
    if (earlier == INVALID_FILE_ATTRIBUTES ||
        (earlier & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ||
        !(earlier & kProtectingAttributes) ||
        !::SetFileAttributesW(fullPath.c_str(), earlier & ~kProtectingAttributes)) {
        Discard();
        return false;
    }
    if (Rename(fullPath)) {
        m_file.Keep();
        return true;
    }
    ::SetFileAttributesW(fullPath.c_str(), earlier);
    Discard();
    return false;
}

} // namespace archive
