// The temporary-file owner, against the real file system.
#include "base/TemporaryFile.h"

#include "base/Win.h"
#include "tests/support/Files.h"

#include <gtest/gtest.h>

TEST(TemporaryFile, LeavesOnlyTheTargetOrNothing)
{
    enum End { Drop, Move, MoveIntoMissingFolder, Keep };
    struct Case {
        DWORD attributes;
        End end;            // how the owner ends
        const char* target; // the target's content afterwards
        bool kept;          // whether the file stays in place
    };
    for (const auto& [attributes, end, target, kept] : {
             Case{FILE_ATTRIBUTE_NORMAL, Drop, "old", false},
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
