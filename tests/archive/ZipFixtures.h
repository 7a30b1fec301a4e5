#pragma once
// What the archive tests share: the archives make_fixtures.py made for this run, and ways to
// look at what an extraction left on disk.
#include <cstdint>
#include <set>
#include <string>
#include <string_view>

namespace test {

// An archive of the fixture folder (made by make_fixtures.py beside the test programs).
[[nodiscard]] std::wstring Fixture(std::wstring_view name);

// Every file and folder below a folder, as paths relative to it with '/' between the parts,
// in UTF-8; folders end with '/'.
[[nodiscard]] std::set<std::string> ListTree(const std::wstring& folder);

[[nodiscard]] std::string Sha256Hex(std::string_view bytes);

// What an extraction left in a folder, a line per file or folder: its path, the attribute bits
// the archive decides and, for a file, its last-write time and SHA-256. Equal for equal results.
[[nodiscard]] std::string Snapshot(const std::wstring& folder);

// Attributes of a path as the file system reports them; INVALID_FILE_ATTRIBUTES if missing.
[[nodiscard]] std::uint32_t AttributesOf(const std::wstring& path);

struct FileTimes {
    std::uint64_t creation = 0;
    std::uint64_t access = 0;
    std::uint64_t write = 0;
};
[[nodiscard]] FileTimes TimesOf(const std::wstring& path);

// A UTC calendar time, or a Unix time, as a file time.
[[nodiscard]] std::uint64_t UtcFileTime(int year, int month, int day, int hour, int minute,
                                        int second);
[[nodiscard]] std::uint64_t UnixFileTime(std::int64_t seconds);

} // namespace test
