// Profile files of the test's own.
#include "settings/ConfigFile.h"

#include "tests/support/Files.h"

#include <gtest/gtest.h>

using namespace settings;

TEST(ProfileFile, ValuesAreCutToTheCapacityAndFailedWritesReported)
{
    test::TempDir root;
    const std::wstring file = root.Path(L"config.ini");
    ASSERT_TRUE(WriteProfileValue(file, kSectionSystem, kKeyExit, L"123456789012"));
    EXPECT_EQ(ReadProfileValue(file, kSectionSystem, kKeyExit, kExitRuleCapacity), L"123456789");
    EXPECT_FALSE(
        WriteProfileValue(root.Path(L"missing\\config.ini"), kSectionSystem, kKeyExit, kChoiceOn));
}
