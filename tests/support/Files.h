#pragma once
// Small file helpers for tests: whole files as bytes, existence checks, the test's own folder.
#include <cstdint>
#include <set>
#include <string>
#include <string_view>

namespace test {

[[nodiscard]] bool WriteFileBytes(const std::wstring& path, std::string_view bytes);
// The whole file; empty when it cannot be read (check FileExists to tell the two apart).
[[nodiscard]] std::string ReadFileBytes(const std::wstring& path);
[[nodiscard]] bool FileExists(const std::wstring& path);
[[nodiscard]] bool DirectoryExists(const std::wstring& path);
[[nodiscard]] bool CopyProgram(const std::wstring& name, const std::wstring& folder);
// Everything below the folder (ending with '\'), as relative UTF-8 paths written with '/';
// folders end with '/': {"sub/", "sub/a.bin"}.
[[nodiscard]] std::set<std::string> TreeBelow(const std::wstring& folder);

// The folder of the running test program, ending with '\': the build's program folder.
[[nodiscard]] std::wstring ProgramFolder();
// A program built with the tests, e.g. ProgramPath(L"pagescript.exe").
[[nodiscard]] std::wstring ProgramPath(std::wstring_view name);

[[nodiscard]] std::string Utf8(std::wstring_view text);
[[nodiscard]] std::wstring Wide(std::string_view utf8);

} // namespace test
