// The extractor one entry at a time: what it reports of each entry and why an entry fails.
#include "archive/ZipExtractor.h"
#include "tests/archive/ZipFixtures.h"
#include "tests/support/Files.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

namespace {

using archive::ExtractResult;
using archive::ZipEntryInfo;
using archive::ZipExtractor;

std::unique_ptr<ZipExtractor> OpenFixture(std::wstring_view name)
{
    ExtractResult result = ExtractResult::ExtractBadArgument;
    std::unique_ptr<ZipExtractor> extractor = ZipExtractor::Open(test::Fixture(name), result);
    EXPECT_EQ(result, extractor ? ExtractResult::ExtractOk : ExtractResult::ExtractCannotOpen);
    return extractor;
}

TEST(ZipExtractor, OnlyZipArchivesOpen)
{
    ExtractResult result = ExtractResult::ExtractOk;
    EXPECT_EQ(ZipExtractor::Open(test::Fixture(L"notzip.zip"), result), nullptr);
    EXPECT_EQ(result, ExtractResult::ExtractCannotOpen);
    result = ExtractResult::ExtractOk;
    EXPECT_EQ(ZipExtractor::Open(test::Fixture(L"missing.zip"), result), nullptr);
    EXPECT_EQ(result, ExtractResult::ExtractCannotOpen);
}

TEST(ZipExtractor, EntriesReportTheirNamesAttributesSizesAndTimes)
{
    const auto extractor = OpenFixture(L"docs.zip");
    ASSERT_TRUE(extractor);
    ZipEntryInfo entry;
    ASSERT_EQ(extractor->GetEntry(-1, entry), ExtractResult::ExtractOk);
    EXPECT_EQ(entry.index, 2) << "the summary counts the entries";
    EXPECT_STREQ(entry.name, L"");

    ASSERT_EQ(extractor->GetEntry(1, entry), ExtractResult::ExtractOk);
    EXPECT_EQ(entry.index, 1);
    EXPECT_STREQ(entry.name, L"docs/readme.txt");
    EXPECT_EQ(entry.attributes, archive::kAttributeArchive) << "Unix mode 0644";
    EXPECT_EQ(entry.uncompressedSize, 9u);
    EXPECT_EQ(entry.compressedSize, 9u) << "stored";
    EXPECT_EQ(entry.writeTime, test::UnixFileTime(1234567890));
    EXPECT_EQ(entry.accessTime, test::UnixFileTime(1300000000));
    // Info-ZIP's local block has no creation time: the DOS stamp (local time, UTC+8) gives it.
    EXPECT_EQ(entry.creationTime, test::UtcFileTime(2009, 2, 13, 15, 31, 30));

    ASSERT_EQ(extractor->GetEntry(0, entry), ExtractResult::ExtractOk) << "going back works too";
    EXPECT_STREQ(entry.name, L"docs/");
    EXPECT_EQ(entry.attributes, archive::kAttributeDirectory | archive::kAttributeArchive);
    EXPECT_EQ(extractor->GetEntry(2, entry), ExtractResult::ExtractBadArgument);
    EXPECT_EQ(extractor->GetEntry(-2, entry), ExtractResult::ExtractBadArgument);
}

TEST(ZipExtractor, ResultCodesTellWhyAnEntryFailed)
{
    const struct {
        const wchar_t* fixture;
        std::int32_t index;
        ExtractResult expected;
    } cases[] = {
        {L"encrypted.zip", 0, ExtractResult::ExtractBadPassword},
        {L"lzma.zip", 1, ExtractResult::ExtractBadHeader},
        {L"broken-record.zip", 1, ExtractResult::ExtractBadHeader},
        {L"crc.zip", 1, ExtractResult::ExtractInflateFailed},
        {L"inflate.zip", 0, ExtractResult::ExtractInflateFailed},
        {L"slip-up.zip", 1, ExtractResult::ExtractUnsafeName},
        {L"long-name.zip", 1, ExtractResult::ExtractUnsafeName},
        {L"docs.zip", 2, ExtractResult::ExtractBadArgument},
        {L"beyond-size.zip", 1, ExtractResult::ExtractInflateFailed},
        // Read as 64 bits: the low 32 bits alone would claim 1 MiB and fail on the data.
        {L"huge-declared.zip", 0, ExtractResult::ExtractNoSpace},
    };
    for (const auto& c : cases) {
        test::TempDir root;
        const auto extractor = OpenFixture(c.fixture);
        ASSERT_TRUE(extractor) << test::Utf8(c.fixture);
        ASSERT_EQ(extractor->SetBaseDirectory(root.Path()), ExtractResult::ExtractOk);
        ZipEntryInfo entry;
        (void)extractor->GetEntry(c.index, entry);
        EXPECT_EQ(extractor->ExtractEntry(c.index, entry.name), c.expected)
            << test::Utf8(c.fixture);
        EXPECT_EQ(extractor->Close(), ExtractResult::ExtractOk);
    }
}

TEST(ZipExtractor, DestinationsStayInsideTheBaseUnlessGivenAsFullPaths)
{
    test::TempDir root;
    const auto extractor = OpenFixture(L"docs.zip");
    ASSERT_TRUE(extractor);
    EXPECT_EQ(extractor->SetBaseDirectory(std::wstring(260, L'x')),
              ExtractResult::ExtractBadArgument);
    ASSERT_EQ(extractor->SetBaseDirectory(root.Path(L"base")), ExtractResult::ExtractOk);

    EXPECT_EQ(extractor->ExtractEntry(1, L"..\\outside.txt"), ExtractResult::ExtractUnsafeName);
    EXPECT_EQ(extractor->ExtractEntry(1, L"sub/copy.txt"), ExtractResult::ExtractOk);
    EXPECT_EQ(extractor->ExtractEntry(1, root.Path(L"elsewhere\\copy.txt")),
              ExtractResult::ExtractOk);
    EXPECT_EQ(test::ListTree(root.Path()),
              (std::set<std::string>{"base/", "base/sub/", "base/sub/copy.txt", "elsewhere/",
                                     "elsewhere/copy.txt"}));
    EXPECT_EQ(test::ReadFileBytes(root.Path(L"elsewhere\\copy.txt")), "read me\r\n");
}

} // namespace
