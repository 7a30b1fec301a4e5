// The tool's places as the program makes them, and places that know no folder.
#include "base/Places.h"

#include "tests/support/Files.h"

#include <gtest/gtest.h>

TEST(Places, TheProgramsAreItsFolderAndTheUsersKeysAndWithoutAFolderNothingIsNamed)
{
    const paths::Places program = paths::Places::ForProgram(), none;
    const std::wstring folder = test::ProgramPath();
    EXPECT_EQ(program.AppDirectory() + L"|" + program.ConfigFile() + L"|" +
                  program.DownloadsFolder(),
              folder + L"|" + folder + L"config.ini|" + folder + L"Downloads");
    EXPECT_EQ(program.RegistryRoot(), HKEY_CURRENT_USER);
    // A bare "config.ini" would be read from the Windows folder.
    EXPECT_EQ(none.AppDirectory() + none.ConfigFile() + none.DownloadsFolder(), L"");
}
