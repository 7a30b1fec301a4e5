#include "archive/OutputFile.h"

#include "settings/Paths.h"

#include <atomic>

namespace archive {

namespace {

// Attributes that make CreateFile or MoveFileEx refuse to replace an existing file.
constexpr DWORD kProtectingAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
constexpr int kTemporaryNameAttempts = 16;
// "~qb", eight hex digits, ".tmp".
constexpr size_t kTemporaryNameLength = 15;

DWORD CreationAttributes(std::uint32_t attributes) noexcept
{
    const DWORD kept = attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY);
    return kept ? kept : FILE_ATTRIBUTE_NORMAL;
}

std::wstring TemporaryName()
{
    // Short, so that it fits wherever most final names fit; unique per process and call.
    static std::atomic<unsigned> counter{::GetCurrentProcessId() << 16};
    wchar_t name[16] = {};
    ::wsprintfW(name, L"~qb%08x.tmp", counter++);
    return name;
}

// Clears what would stop an existing file from being replaced; returns the attributes it had
// (INVALID_FILE_ATTRIBUTES when nothing was cleared).
DWORD UnprotectExisting(const std::wstring& path) noexcept
{
    const DWORD existing = ::GetFileAttributesW(path.c_str());
    if (existing == INVALID_FILE_ATTRIBUTES || (existing & FILE_ATTRIBUTE_DIRECTORY) ||
        !(existing & kProtectingAttributes))
        return INVALID_FILE_ATTRIBUTES;
    if (!::SetFileAttributesW(path.c_str(), existing & ~kProtectingAttributes))
        return INVALID_FILE_ATTRIBUTES;
    return existing;
}

} // namespace

bool OutputFile::Create(std::wstring_view folder, std::wstring_view name,
                        std::uint32_t attributes) noexcept
{
    try {
        Discard();
        m_finalPath.assign(folder).append(name);
        if (m_finalPath.size() >= settings::kMaxPath)
            return false;
        if (folder.size() + kTemporaryNameLength < settings::kMaxPath)
            return CreateTemporary(folder, attributes);
        // No room for a temporary name at this depth: write the final file itself, which a
        // failure then removes.
        return CreateInPlace(attributes);
    } catch (...) {
        return false;
    }
}

bool OutputFile::CreateTemporary(std::wstring_view folder, std::uint32_t attributes)
{
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        std::wstring path(folder);
        path.append(TemporaryName());
        m_file.Reset(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   CreationAttributes(attributes), nullptr));
        if (m_file) {
            m_path = std::move(path);
            return true;
        }
        if (::GetLastError() != ERROR_FILE_EXISTS)
            return false;
    }
    return false;
}

bool OutputFile::CreateInPlace(std::uint32_t attributes)
{
    const DWORD creation = CreationAttributes(attributes);
    m_file.Reset(::CreateFileW(m_finalPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               creation, nullptr));
    if (!m_file && ::GetLastError() == ERROR_ACCESS_DENIED &&
        UnprotectExisting(m_finalPath) != INVALID_FILE_ATTRIBUTES) {
        m_file.Reset(::CreateFileW(m_finalPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   creation, nullptr));
    }
    if (!m_file)
        return false;
    m_path = m_finalPath;
    return true;
}

bool OutputFile::Write(const void* data, std::uint32_t size) noexcept
{
    DWORD written = 0;
    return m_file && ::WriteFile(m_file.Get(), data, size, &written, nullptr) && written == size;
}

bool OutputFile::SetTimes(std::uint64_t creation, std::uint64_t access,
                          std::uint64_t write) noexcept
{
    const FILETIME created = {static_cast<DWORD>(creation), static_cast<DWORD>(creation >> 32)};
    const FILETIME accessed = {static_cast<DWORD>(access), static_cast<DWORD>(access >> 32)};
    const FILETIME written = {static_cast<DWORD>(write), static_cast<DWORD>(write >> 32)};
    return m_file && ::SetFileTime(m_file.Get(), &created, &accessed, &written);
}

bool OutputFile::Commit() noexcept
{
    if (!m_file)
        return false;
    m_file.Reset();
    if (m_path == m_finalPath) {
        m_path.clear();
        return true;
    }
    const DWORD earlier = UnprotectExisting(m_finalPath);
    if (::MoveFileExW(m_path.c_str(), m_finalPath.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        m_path.clear();
        return true;
    }
    if (earlier != INVALID_FILE_ATTRIBUTES)
        ::SetFileAttributesW(m_finalPath.c_str(), earlier);
    Discard();
    return false;
}

void OutputFile::Discard() noexcept
{
    m_file.Reset();
    if (m_path.empty())
        return;
    // The file may carry the entry's read-only attribute, which DeleteFile respects.
    ::SetFileAttributesW(m_path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(m_path.c_str());
    m_path.clear();
}

} // namespace archive
