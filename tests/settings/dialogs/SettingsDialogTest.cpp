// The settings dialog in an application folder of the test's own: what it shows when it opens,
// what OK stores (config.ini and the per-user Run value), and that every other way out stores
// nothing.
#include "settings/Autostart.h"
#include "tests/settings/dialogs/DialogProbeRun.h"
#include "tests/support/Files.h"
#include "tests/support/RegistryKey.h"

#include <gtest/gtest.h>

using namespace settings;
using test::ProbeRun;

namespace {

constexpr wchar_t kStoredChoices[] = L"[system]\r\nexit=2\r\nautoupdate=1\r\nautostart=1\r\n"
                                     L"[Info]\r\nPATH=D:\\游戏\\Valdmark\r\n";

// The Run value is the prefix's own: whatever stood there before the test is put back.
class SettingsDialog : public test::ProbeFolder {
protected:
    static bool RunValue(test::RegValue& value)
    {
        return test::ReadRegValue(HKEY_CURRENT_USER, kRunKey, kRunValueName, value);
    }

private:
    test::SavedRegValue m_runValue{HKEY_CURRENT_USER, kRunKey, kRunValueName};
};

} // namespace

TEST_F(SettingsDialog, OpensWithTheStoredChoices)
{
    WriteConfig(kStoredChoices);

    const ProbeRun run = RunSettingsDialog({L"report", L"click:1012"});

    ASSERT_TRUE(run.finished) << run.output;
    ASSERT_EQ(run.states.size(), 1u) << run.output;
    EXPECT_EQ(run.states[0].checked, L"1003,1004,1008") << "autostart, exit, update automatically";
    EXPECT_EQ(run.states[0].path, L"D:\\游戏\\Valdmark");
}

TEST_F(SettingsDialog, OpensWithTheFallbackChoicesForMissingOrOtherValues)
{
    struct Case {
        const wchar_t* config;
        const wchar_t* checked;
    };
    const Case cases[] = {
        {nullptr, L"1006,1007"},
        {L"[system]\r\nexit=1\r\n", L"1005,1007"},
        // Only the exact texts count.
        {L"[system]\r\nautostart=01\r\nexit=01\r\nautoupdate=2\r\n", L"1006,1007"},
        {L"[system]\r\nautostart=yes\r\nexit=3\r\nautoupdate=11\r\n", L"1006,1007"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.config ? test::Utf8(c.config) : "no config.ini");
        ::DeleteFileW(ConfigPath().c_str());
        if (c.config)
            WriteConfig(c.config);

        const ProbeRun run = RunSettingsDialog({L"report", L"click:1012"});

        ASSERT_TRUE(run.finished) << run.output;
        ASSERT_EQ(run.states.size(), 1u) << run.output;
        EXPECT_EQ(run.states[0].checked, c.checked);
        EXPECT_EQ(run.states[0].path, L"");
        if (!c.config) {
            EXPECT_FALSE(test::FileExists(ConfigPath())) << "opening and cancelling made a file";
        }
    }
}

TEST_F(SettingsDialog, OkStoresTheChoicesAndSwitchesAutostartOn)
{
    WriteConfig(L"[system]\r\nexit=0\r\nautoupdate=0\r\n[Info]\r\nPATH=D:\\Valdmark\r\n");

    const ProbeRun run = RunSettingsDialog(
        {L"click:1003", L"click:1005", L"click:1008", L"type:C:\\typed", L"click:1010"});

    ASSERT_TRUE(run.finished) << run.output;
    EXPECT_EQ(run.result, L"1");
    EXPECT_EQ(Setting(L"system", L"autostart"), L"1");
    EXPECT_EQ(Setting(L"system", L"exit"), L"1");
    EXPECT_EQ(Setting(L"system", L"autoupdate"), L"1");
    EXPECT_EQ(Setting(L"Info", L"PATH"), L"D:\\Valdmark") << "text typed into the box is not kept";
    test::RegValue value;
    ASSERT_TRUE(RunValue(value)) << "no Run value";
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(value.bytes, test::TextBytes(m_appFolder + L"QUIB.exe"))
        << "the application folder followed by QUIB.exe, whatever the program is called";
}

TEST_F(SettingsDialog, OkWithAutostartUntickedRemovesTheRunValue)
{
    WriteConfig(kStoredChoices);
    ASSERT_TRUE(test::SetRegText(HKEY_CURRENT_USER, kRunKey, kRunValueName, L"C:\\old\\QUIB.exe"));

    const ProbeRun run =
        RunSettingsDialog({L"click:1003", L"click:1006", L"click:1007", L"click:1010"});

    ASSERT_TRUE(run.finished) << run.output;
    EXPECT_EQ(Setting(L"system", L"autostart"), L"0");
    EXPECT_EQ(Setting(L"system", L"exit"), L"0") << "ask when closing";
    EXPECT_EQ(Setting(L"system", L"autoupdate"), L"0");
    test::RegValue value;
    EXPECT_FALSE(RunValue(value));
}

TEST_F(SettingsDialog, OkUnchangedStoresWhatWasShown)
{
    WriteConfig(L"[system]\r\nexit=2\r\nautoupdate=7\r\n");

    const ProbeRun run = RunSettingsDialog({L"click:1010"});

    ASSERT_TRUE(run.finished) << run.output;
    EXPECT_EQ(Setting(L"system", L"exit"), L"2");
    EXPECT_EQ(Setting(L"system", L"autoupdate"), L"0") << "the fallback shown is what is stored";
    EXPECT_EQ(Setting(L"system", L"autostart"), L"0");
    test::RegValue value;
    EXPECT_FALSE(RunValue(value)) << "switching off where nothing was on creates nothing";
}

TEST_F(SettingsDialog, CancelEscapeAndEnterStoreNothing)
{
    struct Case {
        const wchar_t* leave;
        const wchar_t* result;
    };
    // Enter goes through the dialog's default OK, which is not the OK button: nothing is kept.
    const Case cases[] = {{L"click:1012", L"2"}, {L"key:escape", L"2"}, {L"key:enter", L"1"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(test::Utf8(c.leave));
        WriteConfig(L"[system]\r\nexit=0\r\nautoupdate=0\r\nautostart=0\r\n");
        const std::string before = ConfigBytes();

        const ProbeRun run = RunSettingsDialog(
            {L"click:1003", L"click:1005", L"click:1008", L"type:C:\\x", c.leave});

        ASSERT_TRUE(run.finished) << run.output;
        EXPECT_EQ(run.result, c.result);
        EXPECT_EQ(ConfigBytes(), before);
        test::RegValue value;
        EXPECT_FALSE(RunValue(value));
    }
}

TEST_F(SettingsDialog, BrowsingKeepsTheTickMadeBeforeIt)
{
    WriteConfig(L"[system]\r\nautostart=0\r\n");

    const ProbeRun run =
        RunSettingsDialog({L"click:1003", L"browse:cancel", L"report", L"click:1010"});

    ASSERT_TRUE(run.finished) << run.output;
    ASSERT_EQ(run.states.size(), 1u) << run.output;
    EXPECT_EQ(run.states[0].checked, L"1003,1006,1007");
    EXPECT_EQ(Setting(L"system", L"autostart"), L"1");
    test::RegValue value;
    EXPECT_TRUE(RunValue(value));
}

TEST_F(SettingsDialog, ARefusedFolderKeepsTheStoredDirectoryThroughOk)
{
    WriteConfig(kStoredChoices);
    const std::wstring empty = MakeGameFolder(L"empty", false);

    const ProbeRun run = RunSettingsDialog({L"browse:" + empty, L"report", L"click:1010"});

    ASSERT_TRUE(run.finished) << run.output;
    ASSERT_EQ(run.messages.size(), 1u) << run.output;
    EXPECT_EQ(run.messages[0].text, L"没有找到 Launch.exe，请确认所选择的目录。");
    ASSERT_EQ(run.states.size(), 1u) << run.output;
    EXPECT_EQ(run.states[0].path, L"D:\\游戏\\Valdmark")
        << "the box still shows the directory that is stored";
    EXPECT_EQ(Setting(L"Info", L"PATH"), L"D:\\游戏\\Valdmark");
}
