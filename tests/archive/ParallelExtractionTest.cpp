// Extraction with worker threads against the calling thread alone, entry after entry: the same
// outcome, down to the first failing entry, and the same files, times and attributes.
#include "archive/UnzipToFolder.h"
#include "base/Win.h"
#include "tests/archive/ZipFixtures.h"
#include "tests/support/Files.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

namespace {

using archive::ExtractResult;

constexpr unsigned kWorkers = 4;

TEST(ParallelExtraction, WorkersLeaveWhatOneExtractorLeaves)
{
    for (const wchar_t* fixture :
         {L"case-names.zip", L"late-crc.zip", L"mixed.zip", L"attributes.zip", L"gbk.zip",
          L"bzip2.zip", L"encrypted.zip", L"empty-password.zip", L"dir-over-file.zip",
          L"beyond-size.zip"}) {
        test::TempDir scratch;
        const std::wstring zip = test::Fixture(fixture);
        const auto alone = archive::UnzipToFolder(zip, scratch.Path(L"alone"), 0);
        const auto parallel = archive::UnzipToFolder(zip, scratch.Path(L"parallel"), kWorkers);
        EXPECT_EQ(parallel.result, alone.result) << test::Utf8(fixture);
        EXPECT_EQ(parallel.failedEntry, alone.failedEntry) << test::Utf8(fixture);
        EXPECT_EQ(test::Snapshot(scratch.Path(L"parallel")), test::Snapshot(scratch.Path(L"alone")))
            << test::Utf8(fixture);
    }
}

TEST(ParallelExtraction, NothingOfTheFirstFailingEntryOrALaterOneIsLeft)
{
    // 120 small files in 7 folders; entry 70's data is damaged, and the workers run ahead.
    test::TempDir scratch;
    const auto outcome =
        archive::UnzipToFolder(test::Fixture(L"late-crc.zip"), scratch.Path(), kWorkers);
    EXPECT_EQ(outcome.result, ExtractResult::ExtractInflateFailed);
    EXPECT_EQ(outcome.failedEntry, 70);
    std::set<std::string> expected;
    for (int i = 0; i < 70; ++i) {
        char name[32] = {};
        std::snprintf(name, sizeof(name), "f%03d/n%03d.txt", i % 7, i);
        expected.insert(std::string(name, 5));
        expected.insert(name);
    }
    EXPECT_EQ(test::ListTree(scratch.Path()), expected);
}

TEST(ParallelExtraction, NamesEqualButForCaseNameOneFileTheLastEntryFills)
{
    test::TempDir scratch;
    ASSERT_EQ(
        archive::UnzipToFolder(test::Fixture(L"case-names.zip"), scratch.Path(), kWorkers).result,
        ExtractResult::ExtractOk);
    EXPECT_EQ(test::ReadFileBytes(scratch.Path(L"dir\\a.txt")), "upper");
    EXPECT_EQ(test::ReadFileBytes(scratch.Path(L"readme.txt")), "two");
    EXPECT_TRUE(test::AttributesOf(scratch.Path(L"readme.txt")) & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(test::ReadFileBytes(scratch.Path(L"other\\y.txt")), "y");
    EXPECT_EQ(test::ListTree(scratch.Path()).count("Dir/"), 1u) << "the first spelling stays";
}

} // namespace
