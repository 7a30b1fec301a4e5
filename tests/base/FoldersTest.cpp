// The folder-chain maker under both separator rules, against the real file system.
#include "base/Folders.h"

#include "tests/support/Files.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

using folders::Separators;

TEST(FolderChain, EachRuleMakesTheLevelsItsSeparatorsName)
{
    const struct {
        const wchar_t* name;
        const wchar_t* path;
        Separators separators;
        bool made;
        const wchar_t* level; // a folder that must exist afterwards, or must not when !made
    } cases[] = {
        {L"backslashes", L"a\\b\\c", Separators::BackslashOnly, true, L"a\\b"},
        {L"trailing separator", L"a\\b\\", Separators::BackslashOnly, true, L"a\\b"},
        {L"archive names", L"a/b\\c/", Separators::BackslashOrSlash, true, L"a\\b\\c"},
        // The system reads the '/' as '\': the level above it was never made, so nothing is.
        {L"a slash is no separator here", L"a/b", Separators::BackslashOnly, false, L"a"},
    };
    for (const auto& c : cases) {
        test::TempDir root;
        EXPECT_EQ(folders::MakeChain(root.Path(), c.path, c.separators), c.made) << c.name;
        EXPECT_EQ(test::DirectoryExists(root.Path(c.level)), c.made) << c.name;
        EXPECT_EQ(folders::MakeChain(root.Path(), c.path, c.separators), c.made)
            << c.name << ", made again";
    }
}

TEST(FolderChain, FailsWithoutHarmWhereTheRootsParentOrAFileIsMissing)
{
    test::TempDir root;
    // The root is made one level only: its parent is the caller's.
    EXPECT_FALSE(
        folders::MakeChain(root.Path(L"missing\\root\\"), L"x\\y", Separators::BackslashOrSlash));
    EXPECT_FALSE(test::DirectoryExists(root.Path(L"missing")));

    ASSERT_TRUE(test::WriteFileBytes(root.Path(L"taken"), "x"));
    EXPECT_FALSE(folders::MakeChain(root.Path(), L"taken\\below", Separators::BackslashOnly));
    EXPECT_EQ(test::ReadFileBytes(root.Path(L"taken")), "x");
}
