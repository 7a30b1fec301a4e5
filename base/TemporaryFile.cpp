#include "base/TemporaryFile.h"

#include <atomic>
#include <cwchar>
#include <iterator>

namespace {

// A name taken meanwhile by another process (or an earlier run) is skipped; this many in a row
// mean the folder cannot take the file.
constexpr int kNameAttempts = 16;

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
