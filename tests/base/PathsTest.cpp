// The path family against the real file system, in folders of the test's own, and the places.
#include "base/Paths.h"

#include "base/Places.h"
#include "base/Win.h"
#include "tests/support/Files.h"

#include <gtest/gtest.h>

using namespace paths;

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
        bool existing; // IsExistingDirectory before MakeChain
        bool made;     // MakeChain, and IsExistingDirectory after it
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
        EXPECT_EQ(MakeChain({}, c.path, Separators::BackslashOnly), c.made);
        EXPECT_EQ(IsExistingDirectory(c.path), c.made);
    }
    EXPECT_FALSE(test::DirectoryExists(root.Path(L"long"))) << "a refused path makes nothing";
}

TEST(FolderChain, EachRuleMakesTheLevelsItsSeparatorsNameAndNothingElse)
{
    struct Chain {
        const wchar_t* root; // below a folder with a file "taken"
        const wchar_t* path;
        Separators rule;
        bool made;
        const wchar_t* level; // made or not
    };
    for (const auto& [root, path, rule, made, level] : {
             Chain{L"", L"a\\b\\c", Separators::BackslashOnly, true, L"a\\b"},
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
        EXPECT_EQ(MakeChain(dir.Path(root), path, rule), made);
        EXPECT_EQ(test::DirectoryExists(dir.Path(level)), made);
        EXPECT_EQ(MakeChain(dir.Path(root), path, rule), made) << "made again";
        EXPECT_EQ(test::ReadFileBytes(dir.Path(L"taken")), "x");
    }
}

// The program's places are its folder and the user's keys; without a folder nothing is named, for
// a bare "config.ini" would be read from the Windows folder.
TEST(Places, TheProgramsAreItsFolderAndTheUsersKeysAndWithoutAFolderNothingIsNamed)
{
    const Places program = Places::ForProgram(), none;
    EXPECT_EQ(program.ConfigFile() + L"|" + none.ConfigFile() + none.DownloadsFolder(),
              test::ProgramPath(L"config.ini|"));
    EXPECT_EQ(program.RegistryRoot(), HKEY_CURRENT_USER);
}
