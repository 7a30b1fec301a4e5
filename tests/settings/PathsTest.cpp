// Folders and profile files of the test's own.
#include "settings/Paths.h"
#include "base/Win.h"
#include "settings/ConfigFile.h"
#include "tests/support/Files.h"

#include <gtest/gtest.h>

using namespace settings;

TEST(PathRoutines, DirectoriesExistAndMissingLevelsAreMadeUnlessThePathIsTooLong)
{
    test::TempDir root;
    ASSERT_TRUE(test::WriteFileBytes(root.Path(L"taken"), "x"));
    const std::wstring tooLong = root.Path(L"long\\") + std::wstring(kMaxPath, L'a');
    std::wstring dots = root.Path(), fits = root.Path();
    while (dots.size() < kMaxPath) // the folder itself, named in 260 characters or more
        dots += L".\\";
    fits.resize(kMaxPath - 1, L'a');
    struct Case {
        const char* name;
        std::wstring path;
        bool existing; // IsExistingDirectory before CreateDirectoryPath
        bool made;     // CreateDirectoryPath, and IsExistingDirectory after it
    };
    const Case cases[] = {
        {"a drive root", L"C:\\", true, true},
        {"a folder with its backslash", root.Path(), true, true},
        {"three missing levels", root.Path(L"x\\y\\z"), false, true},
        {"259 characters", fits, false, true},
        {"a file", root.Path(L"taken"), false, false},
        {"an existing folder in 260 characters", dots, false, false},
        {"missing levels in 260 characters", tooLong, false, false},
        {"nothing", L"", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(IsExistingDirectory(c.path), c.existing)
            << "attributes 0x" << std::hex << ::GetFileAttributesW(c.path.c_str());
        EXPECT_EQ(CreateDirectoryPath(c.path), c.made);
        EXPECT_EQ(IsExistingDirectory(c.path), c.made);
    }
    EXPECT_FALSE(test::DirectoryExists(root.Path(L"long"))) << "a refused path makes nothing";
}

TEST(ProfileFile, ValuesAreCutToTheCapacityAndFailedWritesReported)
{
    test::TempDir root;
    const std::wstring file = root.Path(L"config.ini");
    ASSERT_TRUE(WriteProfileValue(file, kSectionSystem, kKeyExit, L"123456789012"));
    EXPECT_EQ(ReadProfileValue(file, kSectionSystem, kKeyExit, kExitRuleCapacity), L"123456789");
    EXPECT_FALSE(
        WriteProfileValue(root.Path(L"missing\\config.ini"), kSectionSystem, kKeyExit, kChoiceOn));
}
