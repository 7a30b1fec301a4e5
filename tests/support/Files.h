#pragma once
// The test's files: a private folder, whole files as bytes, what a folder holds, and the programs
// built with the tests.
#include <set>
#include <string>
#include <string_view>

namespace test {

// A private folder for one test, removed with everything in it when the test ends.
class TempDir {
public:
    TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir();

    // The folder, ending with '\', or a name inside it.
    [[nodiscard]] std::wstring Path(std::wstring_view name = {}) const
    {
        return m_path + std::wstring(name);
    }

private:
    std::wstring m_path;
};

// Deletes a folder (ending with '\') and everything below it, read-only files included.
void RemoveTree(const std::wstring& folder);

[[nodiscard]] bool WriteFileBytes(const std::wstring& path, std::string_view bytes);
// The whole file; empty when it cannot be read (check FileExists to tell the two apart).
[[nodiscard]] std::string ReadFileBytes(const std::wstring& path);
[[nodiscard]] bool FileExists(const std::wstring& path);
[[nodiscard]] bool DirectoryExists(const std::wstring& path);
// Everything below the folder (ending with '\'), as relative UTF-8 paths written with '/';
// folders end with '/': {"sub/", "sub/a.bin"}.
[[nodiscard]] std::set<std::string> TreeBelow(const std::wstring& folder);

// A file in the test program's own folder (the build's), or the folder, ending with '\'.
[[nodiscard]] std::wstring ProgramPath(std::wstring_view name = {});

[[nodiscard]] std::string Utf8(std::wstring_view text);
[[nodiscard]] std::wstring Wide(std::string_view utf8);

} // namespace test
