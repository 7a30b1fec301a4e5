// Archives written by 7-Zip, WinRAR, WinZip, Info-ZIP, macOS, Windows, Go, Python and others
// (tests/archive/corpus, described by its SOURCES.md), each with the expectation its manifest
// records: "ok", "fail", or "either" where the behaviour is open. The manifest already counts
// the decisions this tool takes beyond the minimal rules: names flagged UTF-8 decode as UTF-8,
// a trailing separator makes a folder, a CRC-32 mismatch fails, ".." steps are refused. Four
// workers unpack each archive, and must leave what one extractor alone leaves.
#include "archive/UnzipToFolder.h"
#include "base/Win.h"
#include "tests/archive/ZipFixtures.h"
#include "tests/support/Files.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <vector>

namespace {

struct CorpusArchive {
    std::string file;
    std::string result;         // ok, fail or either
    std::set<std::string> tree; // what an "ok" archive leaves, folders with '/'
    // Lower-cased path -> SHA-256 of its entry's data; "*" for names with no known spelling.
    std::multimap<std::string, std::string> data;
};

std::string Lower(const std::string& utf8)
{
    std::wstring wide = test::Wide(utf8);
    ::CharLowerBuffW(wide.data(), static_cast<DWORD>(wide.size()));
    return test::Utf8(wide);
}

std::vector<CorpusArchive> ReadExpectations()
{
    std::istringstream lines(test::ReadFileBytes(test::Fixture(L"corpus\\expect.txt")));
    std::vector<CorpusArchive> archives;
    std::string line;
    while (std::getline(lines, line)) {
        std::vector<std::string> fields;
        std::istringstream parts(line);
        for (std::string field; std::getline(parts, field, '\t');)
            fields.push_back(field);
        if (fields[0] == "archive")
            archives.push_back({fields[1], fields[2], {}, {}});
        else if (fields[0] == "file")
            archives.back().tree.insert(fields[1]);
        else if (fields[0] == "dir")
            archives.back().tree.insert(fields[1] + "/");
        else if (fields[0] == "data")
            archives.back().data.emplace(Lower(fields[1]), fields[2]);
    }
    return archives;
}

// Every file present holds the data of an entry of its name.
void ExpectFilesHoldTheirEntries(const CorpusArchive& archive, const std::wstring& target,
                                 const std::set<std::string>& tree)
{
    for (const std::string& path : tree) {
        if (path.back() == '/')
            continue;
        const std::string hash = test::Sha256Hex(test::ReadFileBytes(target + test::Wide(path)));
        bool matches = false;
        const std::string key = archive.data.count(Lower(path)) ? Lower(path) : "*";
        auto [first, last] = archive.data.equal_range(key);
        for (auto it = first; it != last; ++it)
            matches = matches || it->second == hash;
        EXPECT_TRUE(matches) << path << " does not hold its entry's data";
    }
}

TEST(ZipCorpus, EveryArchiveUnpacksAsItsManifestExpects)
{
    const std::vector<CorpusArchive> archives = ReadExpectations();
    ASSERT_GE(archives.size(), 60u) << "corpus\\expect.txt from make_fixtures.py";
    for (const CorpusArchive& archive : archives) {
        SCOPED_TRACE(archive.file);
        test::TempDir scratch;
        const std::wstring target = scratch.Path(L"t\\out\\");
        const std::wstring zip = test::Fixture(L"corpus\\" + test::Wide(archive.file));
        const archive::ExtractionOutcome outcome = archive::UnzipToFolder(zip, target, 4);
        const int result = outcome.result == archive::ExtractResult::ExtractOk ? 1 : 0;
        std::set<std::string> tree = test::ListTree(target);
        std::set<std::string> everything = test::ListTree(scratch.Path());
        everything.erase("t/");
        everything.erase("t/out/");
        for (const std::string& path : everything)
            EXPECT_EQ(path.rfind("t/out/", 0), 0u) << path << " was written outside the target";
        for (const std::string& path : tree)
            EXPECT_EQ(path.find("~qb"), std::string::npos) << "a temporary file was left: " << path;

        if (archive.result == "ok") {
            EXPECT_EQ(result, 1);
            EXPECT_EQ(tree, archive.tree);
        } else if (archive.result == "fail") {
            EXPECT_EQ(result, 0);
        }
        ExpectFilesHoldTheirEntries(archive, target, tree);

        test::TempDir alone;
        const archive::ExtractionOutcome single = archive::UnzipToFolder(zip, alone.Path(), 0);
        EXPECT_EQ(outcome.result, single.result);
        EXPECT_EQ(outcome.failedEntry, single.failedEntry);
        EXPECT_EQ(test::Snapshot(target), test::Snapshot(alone.Path()));
    }
}

} // namespace
