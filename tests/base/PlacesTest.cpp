// The tool's places as the program makes them, and places that know no folder.
#include "base/Places.h"

#include "tests/support/Files.h"

#include <gtest/gtest.h>

TEST(Places, TheProgramsAreItsFolderAndTheUsersKeysAndWithoutAFolderNothingIsNamed)
{
    struct Case {
        const char* name;
        paths::Places places;
        std::wstring folder; // the config file and the Downloads folder lie in it, or are empty
        HKEY root;
    };
    const Case cases[] = {
        {"the program's", paths::Places::ForProgram(), test::ProgramPath(), HKEY_CURRENT_USER},
        // A bare "config.ini" would be read from the Windows folder.
        {"no folder", paths::Places(), L"", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::wstring folder = c.places.AppDirectory();
        EXPECT_EQ(folder, c.folder);
        EXPECT_EQ(c.places.ConfigFile(), folder.empty() ? L"" : folder + L"config.ini");
        EXPECT_EQ(c.places.DownloadsFolder(), folder.empty() ? L"" : folder + L"Downloads");
        EXPECT_EQ(c.places.RegistryRoot(), c.root);
    }
}
