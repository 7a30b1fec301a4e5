// The temporary-file owner: whatever happens, the folder holds only what was meant to stay.
#include "base/TemporaryFile.h"

#include "tests/support/Files.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <functional>

TEST(TemporaryFile, LeavesOnlyTheTargetOrNothing)
{
    const struct {
        const char* name;
        DWORD attributes;
        std::function<void(TemporaryFile&, const test::TempDir&)> end;
        const char* target; // the target's content afterwards
        bool keptInPlace;
    } cases[] = {
        {"owner goes", FILE_ATTRIBUTE_NORMAL, [](TemporaryFile&, const test::TempDir&) {}, "old",
         false},
        {"read-only, owner goes", FILE_ATTRIBUTE_READONLY,
         [](TemporaryFile&, const test::TempDir&) {}, "old", false},
        {"moved over the target", FILE_ATTRIBUTE_NORMAL,
         [](TemporaryFile& file, const test::TempDir& dir) {
             EXPECT_TRUE(file.Flush());
             EXPECT_TRUE(file.MoveTo(dir.Path(L"target")));
         },
         "new", false},
        {"move into a missing folder", FILE_ATTRIBUTE_NORMAL,
         [](TemporaryFile& file, const test::TempDir& dir) {
             EXPECT_FALSE(file.MoveTo(dir.Path(L"missing\\target")));
         },
         "old", false},
        {"kept", FILE_ATTRIBUTE_NORMAL,
         [](TemporaryFile& file, const test::TempDir&) { file.Keep(); }, "old", true},
    };
    for (const auto& c : cases) {
        test::TempDir dir;
        ASSERT_TRUE(test::WriteFileBytes(dir.Path(L"target"), "old"));
        std::wstring path;
        {
            TemporaryFile file;
            ASSERT_TRUE(file.CreateIn(dir.Path(), L"tst", c.attributes)) << c.name;
            path = file.Path();
            EXPECT_TRUE(file.Write("new", 3)) << c.name;
            c.end(file, dir);
        }
        EXPECT_EQ(test::ReadFileBytes(dir.Path(L"target")), c.target) << c.name;
        EXPECT_EQ(test::FileExists(path), c.keptInPlace) << c.name;
    }
}

TEST(TemporaryFile, NamesAreNewInTheFolderAndAMissingFolderMakesNone)
{
    test::TempDir dir;
    TemporaryFile first;
    TemporaryFile second;
    ASSERT_TRUE(first.CreateIn(dir.Path(), L"tst"));
    ASSERT_TRUE(second.CreateIn(dir.Path(), L"tst"));
    EXPECT_NE(first.Path(), second.Path());
    TemporaryFile missing;
    EXPECT_FALSE(missing.CreateIn(dir.Path(L"missing\\"), L"tst"));
    EXPECT_TRUE(missing.Path().empty());
}
