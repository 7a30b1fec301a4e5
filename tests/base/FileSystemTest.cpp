// The folder-chain maker and the temporary-file owner, against the real file system.
#include "base/Folders.h"
#include "base/TemporaryFile.h"
#include "tests/support/Files.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

using folders::Separators;

TEST(FolderChain, EachRuleMakesTheLevelsItsSeparatorsNameAndNothingElse)
{
    const struct {
        const wchar_t* name;
        const wchar_t* root; // below the test's folder, which holds a file "taken"
        const wchar_t* path;
        Separators separators;
        bool made;
        const wchar_t* level; // a folder that must exist afterwards, or must not when !made
    } cases[] = {
        {L"backslashes", L"", L"a\\b\\c", Separators::BackslashOnly, true, L"a\\b"},
        {L"trailing separator", L"", L"a\\b\\", Separators::BackslashOnly, true, L"a\\b"},
        {L"archive names", L"", L"a/b\\c/", Separators::BackslashOrSlash, true, L"a\\b\\c"},
        // The system reads the '/' as '\': the level above it was never made, so nothing is.
        {L"a slash is no separator here", L"", L"a/b", Separators::BackslashOnly, false, L"a"},
        // The root is made one level only: its parent is the caller's.
        {L"root's parent missing", L"missing\\root\\", L"x\\y", Separators::BackslashOrSlash, false,
         L"missing"},
        {L"a file in the way", L"", L"taken\\below", Separators::BackslashOnly, false,
         L"taken\\below"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(test::Utf8(c.name));
        test::TempDir dir;
        ASSERT_TRUE(test::WriteFileBytes(dir.Path(L"taken"), "x"));
        EXPECT_EQ(folders::MakeChain(dir.Path(c.root), c.path, c.separators), c.made);
        EXPECT_EQ(test::DirectoryExists(dir.Path(c.level)), c.made);
        EXPECT_EQ(folders::MakeChain(dir.Path(c.root), c.path, c.separators), c.made) << "again";
        EXPECT_EQ(test::ReadFileBytes(dir.Path(L"taken")), "x");
    }
}

TEST(TemporaryFile, LeavesOnlyTheTargetOrNothing)
{
    enum End { Drop, Move, MoveIntoMissingFolder, Keep };
    const struct {
        const char* name;
        DWORD attributes;
        End end;
        const char* target; // the target's content afterwards
        bool keptInPlace;
    } cases[] = {
        {"owner goes", FILE_ATTRIBUTE_NORMAL, Drop, "old", false},
        {"read-only, owner goes", FILE_ATTRIBUTE_READONLY, Drop, "old", false},
        {"moved over the target", FILE_ATTRIBUTE_NORMAL, Move, "new", false},
        {"move into a missing folder", FILE_ATTRIBUTE_NORMAL, MoveIntoMissingFolder, "old", false},
        {"kept", FILE_ATTRIBUTE_NORMAL, Keep, "old", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        ASSERT_TRUE(test::WriteFileBytes(dir.Path(L"target"), "old"));
        std::wstring path;
        {
            TemporaryFile file;
            TemporaryFile other; // a second file in the same folder gets a name of its own
            ASSERT_TRUE(file.CreateIn(dir.Path(), L"tst", c.attributes));
            ASSERT_TRUE(other.CreateIn(dir.Path(), L"tst"));
            EXPECT_NE(file.Path(), other.Path());
            path = file.Path();
            EXPECT_TRUE(file.Write("new", 3));
            if (c.end == Move)
                EXPECT_TRUE(file.Flush() && file.MoveTo(dir.Path(L"target")));
            else if (c.end == MoveIntoMissingFolder)
                EXPECT_FALSE(file.MoveTo(dir.Path(L"missing\\target")));
            else if (c.end == Keep)
                file.Keep();
        }
        EXPECT_EQ(test::ReadFileBytes(dir.Path(L"target")), c.target);
        EXPECT_EQ(test::FileExists(path), c.keptInPlace);
    }
    TemporaryFile missing;
    EXPECT_FALSE(missing.CreateIn(test::TempDir().Path(L"missing\\"), L"tst"));
    EXPECT_TRUE(missing.Path().empty());
}
