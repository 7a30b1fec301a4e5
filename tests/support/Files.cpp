#include "tests/support/Files.h"

#include "base/Text.h"
#include "base/Unique.h"

namespace test {

bool WriteFileBytes(const std::wstring& path, std::string_view bytes)
{
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    size_t offset = 0;
    while (offset < bytes.size()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - offset, 1 << 20));
        if (!::WriteFile(file.Get(), bytes.data() + offset, chunk, &written, nullptr) || !written)
            return false;
        offset += written;
    }
    return true;
}

std::string ReadFileBytes(const std::wstring& path)
{
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return {};
    std::string bytes;
    char buffer[65536];
    DWORD read = 0;
    while (::ReadFile(file.Get(), buffer, sizeof(buffer), &read, nullptr) && read > 0)
        bytes.append(buffer, read);
    return bytes;
}

bool FileExists(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool CopyProgram(const std::wstring& name, const std::wstring& folder)
{
    return ::CopyFileW(ProgramPath(name).c_str(), (folder + name).c_str(), FALSE) != FALSE;
}

std::set<std::string> TreeBelow(const std::wstring& folder)
{
    std::set<std::string> tree;
    WIN32_FIND_DATAW found;
    UniqueFindHandle search(::FindFirstFileW((folder + L"*").c_str(), &found));
    for (bool more = static_cast<bool>(search); more;
         more = ::FindNextFileW(search.Get(), &found) != FALSE) {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            tree.insert(Utf8(name));
            continue;
        }
        tree.insert(Utf8(name) + "/");
        for (const std::string& below : TreeBelow(folder + name + L"\\"))
            tree.insert(Utf8(name) + "/" + below);
    }
    return tree;
}

std::wstring ProgramFolder()
{
    wchar_t module[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, module, MAX_PATH);
    std::wstring path(module, length);
    return path.substr(0, path.rfind(L'\\') + 1);
}

std::wstring ProgramPath(std::wstring_view name) { return ProgramFolder() + std::wstring(name); }

std::string Utf8(std::wstring_view text) { return text::ToUtf8(text); }

std::wstring Wide(std::string_view utf8) { return text::FromUtf8(utf8); }

} // namespace test
