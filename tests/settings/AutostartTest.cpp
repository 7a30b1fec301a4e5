#include "settings/Autostart.h"

#include "settings/ConfigFile.h"
#include "settings/Registry.h"
#include "tests/support/Files.h"
#include "tests/support/Process.h"
#include "tests/support/RegistryKey.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

using namespace settings;

namespace {

constexpr DWORD kSwitchTimeoutMs = 20000;

// The Run value is the prefix's own: whatever stood there before the test is put back.
class Autostart : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A Chinese folder name, and a program that is not called QUIB.exe.
        m_appFolder = m_root.Path(L"瓦尔德马克\\");
        ASSERT_TRUE(::CreateDirectoryW(m_appFolder.c_str(), nullptr));
        ASSERT_TRUE(::CopyFileW(test::ProgramPath(L"autostart_switch.exe").c_str(),
                                (m_appFolder + L"Box.exe").c_str(), FALSE));
    }
    void Switch(const wchar_t* onOrOff)
    {
        const auto run = test::RunProcess(test::Quote(m_appFolder + L"Box.exe") + L" " + onOrOff,
                                          kSwitchTimeoutMs);
        ASSERT_TRUE(run.started && !run.timedOut) << "the switch program did not run";
        ASSERT_EQ(run.exitCode, 0u) << run.output;
    }
    std::wstring StoredChoice() const
    {
        return ReadProfileValue(m_appFolder + L"config.ini", kSectionSystem, kKeyAutostart,
                                kChoiceCapacity);
    }
    static bool RunValueExists()
    {
        test::RegValue value;
        return test::ReadRegValue(HKEY_CURRENT_USER, kRunKey, kRunValueName, value);
    }

    test::TempDir m_root;
    std::wstring m_appFolder;

private:
    test::SavedRegValue m_runValue{HKEY_CURRENT_USER, kRunKey, kRunValueName};
};

} // namespace

TEST_F(Autostart, OnWritesTheProgramPathAndTheSetting)
{
    Switch(L"on");

    const std::wstring expected = m_appFolder + L"QUIB.exe";
    test::RegValue value;
    ASSERT_TRUE(test::ReadRegValue(HKEY_CURRENT_USER, kRunKey, kRunValueName, value));
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(value.bytes, test::TextBytes(expected)) << "no quotes, no arguments, one NUL";
    EXPECT_EQ(ReadRegString(kRootCurrentUser, kRunKey, kRunValueName), expected);
    EXPECT_EQ(StoredChoice(), L"1");
}

TEST_F(Autostart, OffRemovesOnlyItsOwnValue)
{
    const std::wstring neighbour = L"QUIB-test-" + std::to_wstring(::GetCurrentProcessId());
    ASSERT_TRUE(test::SetRegText(HKEY_CURRENT_USER, kRunKey, neighbour, L"C:\\other.exe"));
    Switch(L"on");
    ASSERT_TRUE(RunValueExists());

    Switch(L"off");

    EXPECT_FALSE(RunValueExists());
    EXPECT_EQ(ReadRegString(kRootCurrentUser, kRunKey, neighbour), L"C:\\other.exe");
    EXPECT_EQ(StoredChoice(), L"0");
    ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kRunKey, neighbour.c_str());
}

TEST_F(Autostart, OffWithoutAValueOnlyStoresTheSetting)
{
    ASSERT_TRUE(
        test::WriteFileBytes(m_appFolder + L"config.ini", "[system]\r\nexit=2\r\nautostart=1\r\n"));

    Switch(L"off");

    EXPECT_FALSE(RunValueExists());
    EXPECT_EQ(StoredChoice(), L"0");
    EXPECT_EQ(
        ReadProfileValue(m_appFolder + L"config.ini", kSectionSystem, kKeyExit, kExitRuleCapacity),
        L"2")
        << "the other settings stay";
}
