#include "base/TemporaryFile.h"

#include <atomic>
#include <cstddef>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <memory>

namespace {

// A name taken meanwhile by another process (or an earlier run) is skipped; this many in a row
// mean the folder cannot take the file.
constexpr int kNameAttempts = 16;

// The native form of a full path ("\??\C:\x", "\??\UNC\server\share\x"), which renaming
// through a handle needs.
std::wstring NativePath(const std::wstring& fullPath)
{
    if (fullPath.rfind(L"\\\\?\\", 0) == 0)
        return L"\\??\\" + fullPath.substr(4);
    if (fullPath.rfind(L"\\\\", 0) == 0)
        return L"\\??\\UNC\\" + fullPath.substr(2);
    return L"\\??\\" + fullPath;
}

} // namespace

std::wstring TemporaryFile::NextName(std::wstring_view folder, std::wstring_view prefix)
{
    // Unique per process and call: the counter starts at the process id in its upper half, so
    // that two processes count apart for 65536 files each.
    constexpr int kHalfBits = 16;
    static std::atomic<unsigned> counter{::GetCurrentProcessId() << kHalfBits};
    wchar_t digits[kCounterDigits + 1] = {};
    std::swprintf(digits, std::size(digits), L"%08x", counter++);
    std::wstring path(folder);
    path.append(prefix).append(digits).append(kExtension);
    return path;
}

bool TemporaryFile::CreateIn(std::wstring_view folder, std::wstring_view prefix,
                             DWORD attributes, DWORD extraAccess) noexcept
{
    Discard();
    try {
        for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
            std::wstring path = NextName(folder, prefix);
            m_file.Reset(::CreateFileW(path.c_str(), extraAccess | GENERIC_WRITE, 0, nullptr,
                                       CREATE_NEW, attributes, nullptr));
            if (m_file) {
                m_path = std::move(path);
                return true;
            }
            if (::GetLastError() != ERROR_FILE_EXISTS)
                return false;
        }
    } catch (...) {
        // No memory for the name: no file was made.
    }
    return false;
}

bool TemporaryFile::Write(const void* data, DWORD size) noexcept
{
    DWORD written = 0;
    return m_file && ::WriteFile(m_file.Get(), data, size, &written, nullptr) && written == size;
}

bool TemporaryFile::Flush() noexcept { return m_file && ::FlushFileBuffers(m_file.Get()); }

void TemporaryFile::Close() noexcept { m_file.Reset(); }

bool TemporaryFile::MoveTo(const std::wstring& target) noexcept
{
    m_file.Reset();
    if (m_path.empty() || !::MoveFileExW(m_path.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING))
        return false;
    m_path.clear();
    return true;
}

bool TemporaryFile::ReopenForReading() noexcept
{
    if (m_path.empty())
        return false;
    m_file.Reset(); // first: the writing handle shares the file with nobody
    m_file.Reset(::CreateFileW(m_path.c_str(), GENERIC_READ | DELETE, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return static_cast<bool>(m_file);
}

bool TemporaryFile::RenameTo(const std::wstring& target) noexcept
{
    try {
        const std::wstring native = NativePath(target);
        const size_t nameBytes = native.size() * sizeof(wchar_t);
        const size_t size = offsetof(FILE_RENAME_INFO, FileName) + nameBytes + sizeof(wchar_t);
        auto storage = std::make_unique<std::byte[]>(size);
        auto* info = reinterpret_cast<FILE_RENAME_INFO*>(storage.get());
        info->ReplaceIfExists = TRUE;
        info->FileNameLength = static_cast<DWORD>(nameBytes);
        std::memcpy(info->FileName, native.c_str(), nameBytes + sizeof(wchar_t));
        if (!m_file || !::SetFileInformationByHandle(m_file.Get(), FileRenameInfo, info,
                                                     static_cast<DWORD>(size)))
            return false;
    } catch (...) {
        return false;
    }
    Keep();
    return true;
}

void TemporaryFile::Keep() noexcept
{
    m_file.Reset();
    m_path.clear();
}

void TemporaryFile::Discard() noexcept
{
    m_file.Reset();
    if (m_path.empty())
        return;
    // Written with a read-only attribute, or copied from a read-only file, it would refuse
    // DeleteFile.
    ::SetFileAttributesW(m_path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(m_path.c_str());
    m_path.clear();
}
