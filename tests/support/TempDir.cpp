#include "tests/support/TempDir.h"

#include "base/Unique.h"

#include <atomic>
#include <stdexcept>

namespace test {

TempDir::TempDir()
{
    static std::atomic<unsigned> counter{0};
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    for (int attempt = 0; attempt < 100; ++attempt) {
        m_path = std::wstring(temp) + L"quib-test-" + std::to_wstring(::GetCurrentProcessId())
                 + L"-" + std::to_wstring(counter++) + L"\\";
        if (::CreateDirectoryW(m_path.c_str(), nullptr))
            return;
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() { RemoveTree(m_path); }

void RemoveTree(const std::wstring& folder) noexcept
{
    try {
        std::wstring base = folder;
        if (!base.empty() && base.back() != L'\\')
            base += L'\\';
        WIN32_FIND_DATAW found;
        UniqueFindHandle search(::FindFirstFileW((base + L"*").c_str(), &found));
        if (search) {
            do {
                const std::wstring name = found.cFileName;
                if (name == L"." || name == L"..")
                    continue;
                const std::wstring path = base + name;
                ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    RemoveTree(path);
                else
                    ::DeleteFileW(path.c_str());
            } while (::FindNextFileW(search.Get(), &found));
        }
        search.Reset();
        ::RemoveDirectoryW(base.c_str());
    } catch (...) {
    }
}

} // namespace test
