// Choosing the game directory with the real folder browser, from the settings dialog's browse
// button and as the main window does for the page: a folder is stored only when it holds the
// launcher and reads back from config.ini as chosen; every refusal is reported and leaves
// config.ini as it was. None of these press OK, so the Run value is never touched.
#include "base/Win.h"
#include "tests/settings/dialogs/DialogProbeRun.h"
#include "tests/support/Files.h"

#include <gtest/gtest.h>

using test::ProbeRun;

namespace {

constexpr wchar_t kStoredChoices[] = L"[system]\r\nexit=2\r\nautoupdate=1\r\nautostart=1\r\n"
                                     L"[Info]\r\nPATH=D:\\游戏\\Valdmark\r\n";
constexpr wchar_t kBrowseTitle[] = L"请选择《Valdmark》目录：";
constexpr wchar_t kCancelled[] = L"未指定游戏目录。";
constexpr wchar_t kNoLauncher[] = L"没有找到 Launch.exe，请确认所选择的目录。";
constexpr wchar_t kSettingsTitle[] = L"设置";
constexpr wchar_t kProbeMainTitle[] = L"QUIB probe main window";

using GameDirectoryInDialog = test::ProbeFolder;
using GameDirectoryForPage = test::ProbeFolder;

std::string Utf16Config(std::wstring_view text)
{
    std::string bytes = "\xFF\xFE";
    bytes.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    return bytes;
}

} // namespace

TEST_F(GameDirectoryInDialog, AFolderWithTheLauncherIsStoredAtOnceAndCancelKeepsIt)
{
    WriteConfig(kStoredChoices);
    const std::wstring game = MakeGameFolder(L"瓦尔德马克 游戏", true);

    const ProbeRun run = RunSettingsDialog({L"browse:" + game, L"report", L"click:1012"});

    ASSERT_TRUE(run.finished) << run.output;
    ASSERT_EQ(run.browsers.size(), 1u) << run.output;
    EXPECT_EQ(run.browsers[0].owner, L"none");
    EXPECT_NE(run.browsers[0].labels.find(kBrowseTitle), std::wstring::npos)
        << test::Utf8(run.browsers[0].labels);
    EXPECT_TRUE(run.messages.empty()) << run.output;
    ASSERT_EQ(run.states.size(), 1u) << run.output;
    EXPECT_EQ(run.states[0].path, game);
    EXPECT_EQ(run.result, L"2");
    EXPECT_EQ(Setting(L"Info", L"PATH"), game) << "no separator added at the end";
    EXPECT_EQ(Setting(L"system", L"exit"), L"2") << "the other settings stay";
}

TEST_F(GameDirectoryInDialog, RefusalsAreReportedAndStoreNothing)
{
    struct Case {
        const wchar_t* name; // of a folder, or nullptr for a cancelled browser
        bool withLauncher;
        bool launcherIsFolder;
        const wchar_t* message;
    };
    const Case cases[] = {
        {nullptr, false, false, kCancelled},
        {L"no launcher", false, false, kNoLauncher},
        {L"launcher is a folder", false, true, kNoLauncher},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name ? test::Utf8(c.name) : "cancel");
        WriteConfig(kStoredChoices);
        const std::string before = ConfigBytes();
        std::wstring target = L"cancel";
        if (c.name) {
            target = MakeGameFolder(c.name, c.withLauncher);
            if (c.launcherIsFolder) {
                ASSERT_TRUE(::CreateDirectoryW((target + L"\\Launch.exe").c_str(), nullptr));
            }
        }

        const ProbeRun run = RunSettingsDialog({L"browse:" + target, L"report", L"click:1012"});

        ASSERT_TRUE(run.finished) << run.output;
        ASSERT_EQ(run.messages.size(), 1u) << run.output;
        EXPECT_EQ(run.messages[0].text, c.message);
        EXPECT_TRUE(run.messages[0].icon) << "the application's box shows its warning icon";
        EXPECT_EQ(run.messages[0].owner, kSettingsTitle) << "in front of the settings dialog";
        ASSERT_EQ(run.states.size(), 1u) << run.output;
        EXPECT_EQ(run.states[0].path, L"D:\\游戏\\Valdmark")
            << "the box still shows the directory that is stored";
        EXPECT_EQ(ConfigBytes(), before);
    }
}

TEST_F(GameDirectoryForPage, AFolderWithTheLauncherIsStoredAndReturned)
{
    const std::wstring game = MakeGameFolder(L"Valdmark", true);

    const ProbeRun run = RunChoose(game);

    ASSERT_TRUE(run.finished) << run.output;
    EXPECT_EQ(run.chosen, game);
    EXPECT_TRUE(run.messages.empty()) << run.output;
    ASSERT_EQ(run.browsers.size(), 1u) << run.output;
    EXPECT_EQ(run.browsers[0].owner, L"none");
    EXPECT_EQ(Setting(L"Info", L"PATH"), game) << "config.ini is made when missing";
}

TEST_F(GameDirectoryForPage, ACancelIsReportedInFrontOfTheMainWindow)
{
    const ProbeRun run = RunChoose(L"cancel");

    ASSERT_TRUE(run.finished) << run.output;
    EXPECT_EQ(run.chosen, L"");
    ASSERT_EQ(run.messages.size(), 1u) << run.output;
    EXPECT_EQ(run.messages[0].text, kCancelled);
    EXPECT_EQ(run.messages[0].owner, kProbeMainTitle);
    EXPECT_FALSE(test::FileExists(ConfigPath()));
}

// Without a Unicode byte-order mark config.ini holds the system's code page (936 here), which
// has no Thai: the folder would come back from the file with '?' in its name.
TEST_F(GameDirectoryForPage, AFolderNameTheConfigFileCannotHoldIsRefused)
{
    const std::wstring game = MakeGameFolder(L"游戏ก", true);
    WriteConfig(kStoredChoices);
    const std::string before = ConfigBytes();

    const ProbeRun refused = RunChoose(game);

    ASSERT_TRUE(refused.finished) << refused.output;
    EXPECT_EQ(refused.chosen, L"");
    ASSERT_EQ(refused.messages.size(), 1u) << refused.output;
    EXPECT_EQ(refused.messages[0].text, ConfigPath() + L"错误");
    EXPECT_EQ(ConfigBytes(), before) << "the stored directory is not replaced";

    // A config.ini in UTF-16 holds any name.
    WriteConfigBytes(Utf16Config(L"[Info]\r\nPATH=D:\\old\r\n"));

    const ProbeRun stored = RunChoose(game);

    ASSERT_TRUE(stored.finished) << stored.output;
    EXPECT_EQ(stored.chosen, game);
    EXPECT_TRUE(stored.messages.empty()) << stored.output;
    EXPECT_EQ(Setting(L"Info", L"PATH"), game);
}

// Every reader of the directory takes at most 254 characters.
TEST_F(GameDirectoryForPage, AFolderPathLongerThanItsReadersTakeIsRefused)
{
    const size_t rootLength = m_games.Path(L"").size();
    ASSERT_LT(rootLength, 200u);
    const std::wstring game = MakeGameFolder(std::wstring(256 - rootLength, L'v'), true);
    ASSERT_EQ(game.size(), 256u);
    WriteConfig(kStoredChoices);
    const std::string before = ConfigBytes();

    const ProbeRun run = RunChoose(game);

    ASSERT_TRUE(run.finished) << run.output;
    EXPECT_EQ(run.chosen, L"");
    ASSERT_EQ(run.messages.size(), 1u) << run.output;
    EXPECT_EQ(ConfigBytes(), before);
}

TEST_F(GameDirectoryForPage, AConfigFileThatCannotBeWrittenIsReported)
{
    const std::wstring game = MakeGameFolder(L"Valdmark", true);
    // A folder where config.ini should be: no profile function can write it.
    ASSERT_TRUE(::CreateDirectoryW(ConfigPath().c_str(), nullptr));

    const ProbeRun run = RunChoose(game);

    ASSERT_TRUE(run.finished) << run.output;
    EXPECT_EQ(run.chosen, L"");
    ASSERT_EQ(run.messages.size(), 1u) << run.output;
    EXPECT_EQ(run.messages[0].text, ConfigPath() + L"错误");
    EXPECT_TRUE(test::DirectoryExists(ConfigPath()));
}

namespace {

// A launcher at the root of drive C: for the length of a test; one that was there is kept.
class RootLauncher {
public:
    RootLauncher() : m_bMade(!test::FileExists(kPath) && test::WriteFileBytes(kPath, "MZ")) {}
    ~RootLauncher()
    {
        if (m_bMade)
            ::DeleteFileW(kPath);
    }
    [[nodiscard]] bool Present() const { return test::FileExists(kPath); }

private:
    static constexpr wchar_t kPath[] = L"C:\\Launch.exe";
    bool m_bMade;
};

} // namespace

// A drive root comes from the browser with its separator. A choice that is no file-system
// folder has no path; the launcher must not be looked for at the root of the current drive
// (the probe runs on C:, where this test puts one).
TEST_F(GameDirectoryForPage, ADriveRootIsStoredAsTheBrowserGivesIt)
{
    RootLauncher launcher;
    ASSERT_TRUE(launcher.Present());

    const ProbeRun root = RunChoose(L"C:\\");

    ASSERT_TRUE(root.finished) << root.output;
    EXPECT_EQ(root.chosen, L"C:\\");
    EXPECT_TRUE(root.messages.empty()) << root.output;
    EXPECT_EQ(Setting(L"Info", L"PATH"), L"C:\\");

    const ProbeRun computer = RunChoose(L"computer");

    ASSERT_TRUE(computer.finished) << computer.output;
    EXPECT_EQ(computer.chosen, L"");
    ASSERT_EQ(computer.messages.size(), 1u) << computer.output;
    EXPECT_EQ(computer.messages[0].text, kNoLauncher);
    EXPECT_EQ(Setting(L"Info", L"PATH"), L"C:\\");
}
