#include "settings/ConfigFile.h"

#include "settings/Paths.h"
#include "tests/support/Files.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

using namespace settings;

TEST(ConfigFile, LivesInTheApplicationDirectory)
{
    EXPECT_EQ(GetConfigFilePath(), GetAppDirectory() + L"config.ini");
}

TEST(ConfigFile, MissingFileSectionOrKeyReadsEmpty)
{
    test::TempDir root;
    const std::wstring file = root.Path(L"config.ini");
    EXPECT_EQ(ReadProfileValue(file, kSectionSystem, kKeyExit, kExitRuleCapacity), L"");
    EXPECT_FALSE(test::FileExists(file)) << "reading must not create the file";
    ASSERT_TRUE(test::WriteFileBytes(file, "[system]\r\nexit=1\r\n"));
    EXPECT_EQ(ReadProfileValue(file, kSectionSystem, kKeyAutoUpdate, kChoiceCapacity), L"");
    EXPECT_EQ(ReadProfileValue(file, kSectionInfo, kKeyGamePath, kGamePathCapacity), L"");
    EXPECT_EQ(ReadProfileValue(file, L"SYSTEM", L"EXIT", kExitRuleCapacity), L"1")
        << "sections and keys match without regard to case";
}

TEST(ConfigFile, ValuesAreCutToCapacityMinusOne)
{
    test::TempDir root;
    const std::wstring file = root.Path(L"config.ini");
    const std::wstring version(130, L'7');
    ASSERT_TRUE(WriteProfileValue(file, kSectionVersion, kKeyVersion, version));
    EXPECT_EQ(ReadProfileValue(file, kSectionVersion, kKeyVersion, kVersionCapacity),
              std::wstring(119, L'7'));
    ASSERT_TRUE(WriteProfileValue(file, kSectionSystem, kKeyExit, L"123456789012"));
    EXPECT_EQ(ReadProfileValue(file, kSectionSystem, kKeyExit, kExitRuleCapacity), L"123456789");
}

TEST(ConfigFile, WriteCreatesTheFileAndReplacesValues)
{
    test::TempDir root;
    const std::wstring file = root.Path(L"config.ini");
    ASSERT_TRUE(WriteProfileValue(file, kSectionSystem, kKeyAutostart, kChoiceOn));
    EXPECT_TRUE(test::FileExists(file));
    ASSERT_TRUE(WriteProfileValue(file, kSectionSystem, kKeyAutostart, kChoiceOff));
    EXPECT_EQ(ReadProfileValue(file, kSectionSystem, kKeyAutostart, kChoiceCapacity), L"0");
}

TEST(ConfigFile, ChineseGamePathSurvivesTheRoundTrip)
{
    test::TempDir root;
    const std::wstring file = root.Path(L"config.ini");
    const std::wstring path = L"D:\\游戏\\瓦尔德马克";
    ASSERT_TRUE(WriteProfileValue(file, kSectionInfo, kKeyGamePath, path));
    EXPECT_EQ(ReadProfileValue(file, kSectionInfo, kKeyGamePath, kGamePathCapacity), path);
}

TEST(ConfigFile, WriteIntoAMissingFolderFailsAndReportsIt)
{
    test::TempDir root;
    EXPECT_FALSE(WriteProfileValue(root.Path(L"missing\\config.ini"), kSectionSystem, kKeyExit,
                                    kChoiceOn));
}

TEST(ConfigFile, ChoicesCompareAsWholeExactTexts)
{
    test::TempDir root;
    const std::wstring file = root.Path(L"config.ini");
    for (const wchar_t* stored : {L"01", L"3", L"1.0", L"Y"}) {
        ASSERT_TRUE(WriteProfileValue(file, kSectionSystem, kKeyExit, stored));
        const std::wstring value = ReadProfileValue(file, kSectionSystem, kKeyExit,
                                                     kExitRuleCapacity);
        EXPECT_FALSE(TextEquals(value, kChoiceOn)) << "stored '" << test::Utf8(stored) << "'";
        EXPECT_FALSE(TextEquals(value, kChoiceExit));
    }
}
