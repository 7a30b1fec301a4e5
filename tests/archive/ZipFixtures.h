#pragma once
// What the archive tests share: the archives make_fixtures.py made for this run, a listing of
// what an extraction left, and one extraction done both ways, with workers and without.
#include "archive/UnzipToFolder.h"
#include "base/Win.h"
#include "tests/support/TempDir.h"

#include <set>
#include <string>
#include <string_view>

namespace test {

// An archive of the fixture folder (made by make_fixtures.py beside the test programs).
[[nodiscard]] std::wstring Fixture(std::wstring_view name);

[[nodiscard]] std::string Sha256Hex(std::string_view bytes);

// A file's contents as a listing shows them: as they are when short, else by length and SHA-256.
[[nodiscard]] std::string Shown(const std::string& bytes);

// What a folder holds, a line per file or folder: "dir/", or "file=<contents shown>", followed by
// the attributes the archive decides (" +R", " +H", " +S") and, with times, by " @" and the
// file's last-write time in UTC. {"no folder"} when the folder is missing.
[[nodiscard]] std::set<std::string> Listing(const std::wstring& folder, bool times = false);

// A file time in UTC as "2001-02-02 20:05:06".
[[nodiscard]] std::string TimeText(const FILETIME& time);

// Extracts the archive with four workers into <scratch>level\out\ and with the calling thread
// alone into <scratch>alone\level\out\, and expects the same result, failing entry, files, times
// and attributes of both, and nothing else below the scratch folder but the archive's own
// folder "zip\". Returns the workers' outcome.
archive::ExtractionOutcome ExtractBothWays(const std::wstring& zip, const TempDir& scratch);

} // namespace test
