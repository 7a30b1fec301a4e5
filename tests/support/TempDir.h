#pragma once
// A private folder for one test, removed with everything in it when the test ends.
#include <string>
#include <string_view>

namespace test {

class TempDir {
public:
    TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir();

    // The folder, ending with '\'.
    [[nodiscard]] const std::wstring& Path() const noexcept { return m_path; }
    // A name inside the folder.
    [[nodiscard]] std::wstring Path(std::wstring_view name) const { return m_path + std::wstring(name); }

private:
    std::wstring m_path;
};

// Deletes a folder and everything below it, read-only files included.
void RemoveTree(const std::wstring& folder) noexcept;

} // namespace test
