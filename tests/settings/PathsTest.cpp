#include "settings/Paths.h"

#include "base/Win.h"

#include "tests/support/Files.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

using namespace settings;

TEST(PathRoutines, ParentPathKeepsOrDropsTheSeparator)
{
    EXPECT_EQ(GetParentPath(L"C:\\a\\b.txt", false), L"C:\\a");
    EXPECT_EQ(GetParentPath(L"C:\\a\\b.txt", true), L"C:\\a\\");
    EXPECT_EQ(GetParentPath(L"b.txt", false), L"");
    EXPECT_EQ(GetParentPath(L"b.txt", true), L"");
    EXPECT_EQ(GetParentPath(L"C:/a/b.txt", true), L"") << "only '\\' separates";
    EXPECT_EQ(GetParentPath(L"C:\\a\\b\\", false), L"C:\\a\\b");
}

TEST(PathRoutines, ConcatAddsNoSeparatorAndEqualityIsExact)
{
    EXPECT_EQ(ConcatPath(L"C:\\Tools\\", L"config.ini"), L"C:\\Tools\\config.ini");
    EXPECT_EQ(ConcatPath(L"C:\\Tools\\", L"\\config.ini"), L"C:\\Tools\\\\config.ini");
    EXPECT_TRUE(TextEquals(L"1", L"1"));
    EXPECT_FALSE(TextEquals(L" 1", L"1"));
    EXPECT_FALSE(TextEquals(L"01", L"1"));
    EXPECT_FALSE(TextEquals(L"Path", L"PATH"));
}

TEST(PathRoutines, AppDirectoryIsTheProgramFolderWithItsBackslash)
{
    const std::wstring directory = GetAppDirectory();
    ASSERT_FALSE(directory.empty());
    EXPECT_EQ(directory.back(), L'\\');
    EXPECT_EQ(directory, test::ProgramFolder());
}

TEST(PathRoutines, ExistingDirectoryIsADirectoryNotAFile)
{
    test::TempDir root;
    ASSERT_TRUE(test::WriteFileBytes(root.Path(L"file.txt"), "x"));
    EXPECT_TRUE(IsExistingDirectory(root.Path().substr(0, root.Path().size() - 1)));
    EXPECT_FALSE(IsExistingDirectory(root.Path(L"file.txt")));
    EXPECT_FALSE(IsExistingDirectory(root.Path(L"missing")));
    EXPECT_FALSE(IsExistingDirectory(L""));
}

TEST(PathRoutines, CreateDirectoryPathMakesTheWholeChainAndIsRepeatable)
{
    test::TempDir root;
    const std::wstring deep = root.Path(L"x\\y\\z");
    EXPECT_TRUE(CreateDirectoryPath(deep));
    EXPECT_TRUE(test::DirectoryExists(root.Path(L"x")));
    EXPECT_TRUE(test::DirectoryExists(root.Path(L"x\\y")));
    EXPECT_TRUE(test::DirectoryExists(deep));
    EXPECT_TRUE(CreateDirectoryPath(deep)) << "an existing chain is success";
    EXPECT_TRUE(CreateDirectoryPath(root.Path(L"x\\y\\z\\"))) << "a trailing separator too";
}

TEST(PathRoutines, CreateDirectoryPathFailsWhereAFileStands)
{
    test::TempDir root;
    ASSERT_TRUE(test::WriteFileBytes(root.Path(L"taken"), "x"));
    EXPECT_FALSE(CreateDirectoryPath(root.Path(L"taken")));
    EXPECT_FALSE(CreateDirectoryPath(root.Path(L"taken\\below")));
    EXPECT_EQ(test::ReadFileBytes(root.Path(L"taken")), "x");
}

TEST(PathRoutines, LongPathsAreRefusedWithoutCreatingAnything)
{
    test::TempDir root;
    std::wstring longPath = root.Path(L"first\\");
    while (longPath.size() < kMaxPath)
        longPath += L"abcdefghij\\";
    EXPECT_FALSE(CreateDirectoryPath(longPath));
    EXPECT_FALSE(test::DirectoryExists(root.Path(L"first"))) << "nothing may be created";
    EXPECT_FALSE(IsExistingDirectory(longPath));

    std::wstring justBelow = root.Path();
    while (justBelow.size() < kMaxPath - 1)
        justBelow += L'a';
    EXPECT_TRUE(CreateDirectoryPath(justBelow)) << "259 characters still fit";
}

TEST(PathRoutines, ADriveRootIsAnExistingDirectory)
{
    EXPECT_TRUE(IsExistingDirectory(L"C:\\"))
        << "attributes 0x" << std::hex << ::GetFileAttributesW(L"C:\\") << ", error "
        << std::dec << ::GetLastError();
}
