#include "tests/support/Files.h"

#include "base/Text.h"
#include "base/Unique.h"

#include <atomic>
#include <stdexcept>

namespace test {

TempDir::TempDir()
{
    static std::atomic<unsigned> counter{0};
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    // Wine reuses process ids: a folder a program of an earlier run left behind may be in the way,
    // and may not go (a file there still open), so the next name is tried.
    for (int attempt = 0; attempt < 100; ++attempt) {
        m_path = std::wstring(temp) + L"quib-test-" + std::to_wstring(::GetCurrentProcessId()) +
                 L"-" + std::to_wstring(counter++) + L"\\";
        RemoveTree(m_path);
        if (::CreateDirectoryW(m_path.c_str(), nullptr))
            return;
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() { RemoveTree(m_path); }

void RemoveTree(const std::wstring& folder)
{
    WIN32_FIND_DATAW found;
    UniqueFindHandle search(::FindFirstFileW((folder + L"*").c_str(), &found));
    for (bool more = static_cast<bool>(search); more;
         more = ::FindNextFileW(search.Get(), &found)) {
        const std::wstring name = found.cFileName, path = folder + name;
        if (name == L"." || name == L"..")
            continue;
        ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            RemoveTree(path + L"\\");
        else
            ::DeleteFileW(path.c_str());
    }
    search.Reset();
    ::RemoveDirectoryW(folder.c_str());
}

bool WriteFileBytes(const std::wstring& path, std::string_view bytes)
{
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    const auto size = static_cast<DWORD>(bytes.size());
    DWORD written = 0;
    return file && ::WriteFile(file.Get(), bytes.data(), size, &written, nullptr) &&
           written == size;
}

std::string ReadFileBytes(const std::wstring& path)
{
    // Shared in every way: the files read are often still open in the program under test.
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string bytes;
    char buffer[65536];
    DWORD read = 0;
    while (file && ::ReadFile(file.Get(), buffer, sizeof(buffer), &read, nullptr) && read > 0)
        bytes.append(buffer, read);
    return bytes;
}

// INVALID_FILE_ATTRIBUTES has every bit set, the folder's too.
bool FileExists(const std::wstring& path)
{
    return !(::GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::set<std::string> TreeBelow(const std::wstring& folder)
{
    std::set<std::string> tree;
    WIN32_FIND_DATAW found;
    UniqueFindHandle search(::FindFirstFileW((folder + L"*").c_str(), &found));
    for (bool more = static_cast<bool>(search); more;
         more = ::FindNextFileW(search.Get(), &found)) {
        const std::wstring name = found.cFileName;
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            tree.insert(Utf8(name));
        } else if (name != L"." && name != L"..") {
            tree.insert(Utf8(name) + "/");
            for (const std::string& below : TreeBelow(folder + name + L"\\"))
                tree.insert(Utf8(name) + "/" + below);
        }
    }
    return tree;
}

std::wstring ProgramPath(std::wstring_view name)
{
    wchar_t module[MAX_PATH] = {};
    const std::wstring path(module, ::GetModuleFileNameW(nullptr, module, MAX_PATH));
    return path.substr(0, path.rfind(L'\\') + 1) + std::wstring(name);
}

std::string Utf8(std::wstring_view text) { return text::ToUtf8(text); }

std::wstring Wide(std::string_view utf8)
{
    std::wstring wide(utf8.size(), L'\0'); // never more characters than bytes
    wide.resize(static_cast<size_t>(::MultiByteToWideChar(
        CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), int(wide.size()))));
    return wide;
}

} // namespace test
