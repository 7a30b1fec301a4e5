// The folder-chain maker and the temporary-file owner, against the real file system.
#include "base/Folders.h"
#include "base/TemporaryFile.h"
#include "tests/support/Files.h"

#include <gtest/gtest.h>

#include <tuple>

using folders::Separators;

TEST(FolderChain, EachRuleMakesTheLevelsItsSeparatorsNameAndNothingElse)
{
    // Root (below a folder with a file "taken"), path, rule, result, and a level made or not.
    for (const auto& [root, path, rule, made, level] : {
             std::tuple{L"", L"a\\b\\c", Separators::BackslashOnly, true, L"a\\b"},
             {L"", L"a\\b\\", Separators::BackslashOnly, true, L"a\\b"},
             {L"", L"a/b\\c/", Separators::BackslashOrSlash, true, L"a\\b\\c"},
             // The system reads the '/' as '\': the level above it was never made.
             {L"", L"a/b", Separators::BackslashOnly, false, L"a"},
             // The root is made one level only: its parent is the caller's.
             {L"missing\\root\\", L"x\\y", Separators::BackslashOrSlash, false, L"missing"},
             {L"", L"taken\\below", Separators::BackslashOnly, false, L"taken\\below"},
         }) {
        SCOPED_TRACE(test::Utf8(std::wstring(root) + path));
        test::TempDir dir;
        ASSERT_TRUE(test::WriteFileBytes(dir.Path(L"taken"), "x"));
        EXPECT_EQ(folders::MakeChain(dir.Path(root), path, rule), made);
        EXPECT_EQ(test::DirectoryExists(dir.Path(level)), made);
        EXPECT_EQ(folders::MakeChain(dir.Path(root), path, rule), made) << "made again";
        EXPECT_EQ(test::ReadFileBytes(dir.Path(L"taken")), "x");
    }
}

TEST(TemporaryFile, LeavesOnlyTheTargetOrNothing)
{
    enum End { Drop, Move, MoveIntoMissingFolder, Keep };
    // How the owner ends, the target's content afterwards, whether the file stays in place.
    for (const auto& [attributes, end, target, kept] : {
             std::tuple{FILE_ATTRIBUTE_NORMAL, Drop, "old", false},
             {FILE_ATTRIBUTE_READONLY, Drop, "old", false},
             {FILE_ATTRIBUTE_NORMAL, Move, "new", false},
             {FILE_ATTRIBUTE_NORMAL, MoveIntoMissingFolder, "old", false},
             {FILE_ATTRIBUTE_NORMAL, Keep, "old", true},
         }) {
        const char* const ends[] = {"dropped", "moved", "moved into a missing folder", "kept"};
        SCOPED_TRACE(testing::Message() << ends[end] << ", attributes " << attributes);
        test::TempDir dir;
        ASSERT_TRUE(test::WriteFileBytes(dir.Path(L"target"), "old"));
        std::wstring path;
        {
            TemporaryFile file, other; // a second file in the folder gets a name of its own
            ASSERT_TRUE(file.CreateIn(dir.Path(), L"tst", attributes));
            ASSERT_TRUE(other.CreateIn(dir.Path(), L"tst"));
            EXPECT_NE((path = file.Path()), other.Path());
            EXPECT_TRUE(file.Write("new", 3));
            EXPECT_TRUE(end != Move || (file.Flush() && file.MoveTo(dir.Path(L"target"))));
            EXPECT_TRUE(end != MoveIntoMissingFolder || !file.MoveTo(dir.Path(L"missing\\t")));
            if (end == Keep)
                file.Keep();
        }
        EXPECT_EQ(test::ReadFileBytes(dir.Path(L"target")), target);
        EXPECT_EQ(test::FileExists(path), kept);
    }
}
