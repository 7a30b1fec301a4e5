// Archives written by 7-Zip, WinRAR, WinZip, Info-ZIP, macOS, Windows, Go, Python and others
// (tests/archive/corpus, described by its SOURCES.md), each with the expectation its manifest
// records: "ok", "fail", or "either" where the behaviour is open. The manifest already counts
// the decisions this tool takes beyond the minimal rules: names flagged UTF-8 decode as UTF-8,
// a trailing separator makes a folder, a CRC-32 mismatch fails, ".." steps are refused. Then
// damaged archives: every header field of one archive set to all ones, and cuts at every record.
// Each extraction runs with workers and with one extractor, which must leave the same.
#include "base/Win.h"
#include "tests/archive/ZipFixtures.h"
#include "tests/support/Files.h"

#include <gtest/gtest.h>

#include <future>
#include <map>
#include <sstream>

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
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> fields;
        std::istringstream parts(line);
        for (std::string field; std::getline(parts, field, '\t');)
            fields.push_back(field);
        if (fields[0] == "archive")
            archives.push_back({fields[1], fields[2], {}, {}});
        else if (fields[0] == "file" || fields[0] == "dir")
            archives.back().tree.insert(fields[1] + (fields[0] == "dir" ? "/" : ""));
        else if (fields[0] == "data")
            archives.back().data.emplace(Lower(fields[1]), fields[2]);
    }
    return archives;
}

// Every file present holds the data of an entry of its name.
void ExpectFilesHoldTheirEntries(const CorpusArchive& archive, const std::wstring& target)
{
    for (const std::string& path : test::TreeBelow(target)) {
        const std::string hash = test::Sha256Hex(test::ReadFileBytes(target + test::Wide(path)));
        const auto [first, last] =
            archive.data.equal_range(archive.data.count(Lower(path)) ? Lower(path) : "*");
        bool matches = path.back() == '/';
        for (auto it = first; it != last; ++it)
            matches = matches || it->second == hash;
        EXPECT_TRUE(matches) << path << " does not hold its entry's data";
    }
}

// Damage where a reader must look: every field of every local header, central record and the
// end record set to all ones, a cut at each record and inside it, and a changed byte of each
// entry's data (mixed.zip: a folder, deflated and stored data, an extra field, a GBK name).
std::vector<std::string> Damaged(const std::string& zip)
{
    const auto u16 = [&zip](size_t at) {
        return size_t(uint8_t(zip[at]) | uint8_t(zip[at + 1]) << 8);
    };
    const std::vector<std::pair<std::string, std::vector<std::pair<int, int>>>> records = {
        {"PK\3\4", {{6, 2}, {8, 2}, {14, 4}, {18, 4}, {22, 4}, {26, 2}, {28, 2}}},
        {"PK\1\2",
         {{8, 2}, {10, 2}, {16, 4}, {20, 4}, {24, 4}, {28, 2}, {30, 2}, {32, 2}, {38, 4}, {42, 4}}},
        {"PK\5\6", {{8, 2}, {10, 2}, {12, 4}, {16, 4}}}};
    std::vector<std::string> damaged;
    for (const auto& [signature, fields] : records) {
        for (size_t at = zip.find(signature); at != std::string::npos;
             at = zip.find(signature, at + 1)) {
            damaged.push_back(zip.substr(0, at));
            damaged.push_back(zip.substr(0, at + 20));
            for (const auto& [offset, width] : fields)
                damaged.push_back(std::string(zip).replace(at + offset, width, width, '\xFF'));
            if (signature == "PK\3\4") {
                damaged.push_back(zip);
                damaged.back()[at + 30 + u16(at + 26) + u16(at + 28)] ^= '\x55';
            }
        }
    }
    return damaged;
}

} // namespace

TEST(ZipCorpus, EveryArchiveUnpacksAsItsManifestExpects)
{
    const std::vector<CorpusArchive> archives = ReadExpectations();
    ASSERT_GE(archives.size(), 60u) << "corpus\\expect.txt from make_fixtures.py";
    for (const CorpusArchive& archive : archives) {
        SCOPED_TRACE(archive.file);
        test::TempDir scratch;
        const auto outcome =
            test::ExtractBothWays(test::Fixture(L"corpus\\" + test::Wide(archive.file)), scratch);
        const std::wstring target = scratch.Path(L"level\\out\\");
        if (archive.result != "either") {
            EXPECT_EQ(outcome.result == archive::ExtractResult::ExtractOk, archive.result == "ok");
        }
        if (archive.result == "ok") {
            EXPECT_EQ(test::TreeBelow(target), archive.tree);
        }
        ExpectFilesHoldTheirEntries(archive, target);
    }
}

TEST(ZipMutation, DamagedArchivesFailCleanlyInsideTheTarget)
{
    const std::string zip = test::ReadFileBytes(test::Fixture(L"mixed.zip"));
    const std::vector<std::string> cases = Damaged(zip);
    ASSERT_EQ(cases.size(), 116u);
    // An extraction that hangs would hang the test too: the process ends instead.
    std::future<void> work = std::async(std::launch::async, [&cases] {
        for (size_t i = 0; i < cases.size(); ++i) {
            SCOPED_TRACE("damage #" + std::to_string(i));
            test::TempDir scratch;
            ASSERT_TRUE(::CreateDirectoryW(scratch.Path(L"zip").c_str(), nullptr) &&
                        test::WriteFileBytes(scratch.Path(L"zip\\case.zip"), cases[i]));
            (void)test::ExtractBothWays(scratch.Path(L"zip\\case.zip"), scratch);
        }
    });
    if (work.wait_for(std::chrono::seconds(90)) != std::future_status::ready) {
        std::fprintf(stderr, "damaged archives: no end within 90 s\n");
        std::fflush(stderr);
        ::TerminateProcess(::GetCurrentProcess(), 3);
    }
    work.get();
}
