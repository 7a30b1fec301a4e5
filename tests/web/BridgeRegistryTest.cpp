// The registry methods as a page calls them, under a per-user key of the test's own.
#include "tests/support/PageScript.h"
#include "tests/support/RegistryKey.h"

#include <gtest/gtest.h>

namespace {

std::string RunScript(const std::string& script)
{
    const test::ProcessResult result = test::RunPageScript(script + "exit(0);");
    EXPECT_TRUE(result.started) << "pagescript.exe did not start";
    EXPECT_EQ(result.exitCode, 0u) << result.output;
    return result.output;
}

} // namespace

TEST(RegistryMethods, GetRegStringReadsByRootNumber)
{
    test::TestRegistryKey key;
    ASSERT_TRUE(test::SetRegText(HKEY_CURRENT_USER, key.SubKey(), L"", L"默认值"));
    ASSERT_TRUE(test::SetRegText(HKEY_CURRENT_USER, key.SubKey(), L"PATH", L"D:\\游戏"));
    const std::string subKey = test::JsString(key.SubKey());

    const std::string output = RunScript(
        "var k = " + subKey +
        ";"
        "print(external.GetRegString(1, k, ''));"
        "print(external.GetRegString('1', k, 'path'));"
        "var none = [external.GetRegString(8, k, 'PATH'), external.GetRegString(1, k, 'nope'),"
        "            external.GetRegString(1, k + '\\\\nope', 'PATH')];"
        "print(typeof none[0] + '[' + none.join('|') + ']');");

    EXPECT_EQ(output, "默认值\nD:\\游戏\nstring[||]\n");
}

TEST(RegistryMethods, SetRegStringWritesIntoExistingKeysAndIsAlwaysTrue)
{
    test::TestRegistryKey key;
    const std::string subKey = test::JsString(key.SubKey());

    const std::string output =
        RunScript("var k = " + subKey +
                  ";"
                  "print(external.SetRegString(1, k, 'PATH', 'E:\\\\游戏'));"
                  "print(external.SetRegString(1, k + '\\\\missing', 'PATH', 'x'));"
                  "print(external.SetRegString(8, k, 'root8', 'x'));"
                  "print(external.GetRegString(1, k, 'PATH'));");

    EXPECT_EQ(output, "true\ntrue\ntrue\nE:\\游戏\n");
    test::RegValue value;
    ASSERT_TRUE(test::ReadRegValue(HKEY_CURRENT_USER, key.SubKey(), L"PATH", value));
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ));
    EXPECT_FALSE(test::RegKeyExists(HKEY_CURRENT_USER, key.SubKey(L"missing")))
        << "a missing key must not be created";
    EXPECT_FALSE(test::ReadRegValue(HKEY_CURRENT_USER, key.SubKey(), L"root8", value));
}
