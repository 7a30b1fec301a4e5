#include "archive/OutputFile.h"

#include "settings/Paths.h"

#include <atomic>
#include <cstring>
#include <memory>

namespace archive {

namespace {

// Attributes that make a rename refuse to replace an existing file.
constexpr DWORD kProtectingAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
constexpr int kTemporaryNameAttempts = 16;

std::wstring TemporaryName()
{
    // Short, so that it fits wherever most final names fit; unique per process and call.
    static std::atomic<unsigned> counter{::GetCurrentProcessId() << 16};
    wchar_t name[kTemporaryNameLength + 1] = {};
    ::wsprintfW(name, L"~qb%08x.tmp", counter++);
    return name;
}

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
    try {
        Discard();
        for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
            std::wstring path(folder);
            path.append(TemporaryName());
            if (path.size() >= settings::kMaxPath)
                return false;
            // DELETE access lets the finished file be renamed through this handle.
            m_file.Reset(::CreateFileW(path.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
            if (m_file) {
                m_path = std::move(path);
                return true;
            }
            if (::GetLastError() != ERROR_FILE_EXISTS)
                return false;
        }
        return false;
    } catch (...) {
        return false;
    }
}

bool OutputFile::Write(const void* data, std::uint32_t size) noexcept
{
    DWORD written = 0;
    return m_file && ::WriteFile(m_file.Get(), data, size, &written, nullptr) && written == size;
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
    return m_file && ::SetFileInformationByHandle(m_file.Get(), FileBasicInfo, &info, sizeof(info));
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
        return ::SetFileInformationByHandle(m_file.Get(), FileRenameInfo, info,
                                            static_cast<DWORD>(size)) != FALSE;
    } catch (...) {
        return false;
    }
}

bool OutputFile::MoveTo(const std::wstring& fullPath) noexcept
{
    if (!m_file)
        return false;
    if (Rename(fullPath)) {
        m_file.Reset();
        m_path.clear();
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
        m_file.Reset();
        m_path.clear();
        return true;
    }
    ::SetFileAttributesW(fullPath.c_str(), earlier);
    Discard();
    return false;
}

void OutputFile::Discard() noexcept
{
    m_file.Reset();
    if (m_path.empty())
        return;
    // Finish may have made the file read-only, which DeleteFile respects.
    ::SetFileAttributesW(m_path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(m_path.c_str());
    m_path.clear();
}

} // namespace archive
