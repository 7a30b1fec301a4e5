#pragma once
// The tests' side of dialog_probe: an application folder of the test's own holding a copy of
// the probe and its config.ini, a run of the probe there, and what the probe reported.
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace test {

struct ProbeState {
    std::wstring checked; // ids of the ticked buttons, e.g. "1003,1005,1008"
    std::wstring path;    // the edit box
};

struct ProbeBrowser {
    std::wstring owner;  // "none" when it has no owner
    std::wstring labels; // its label texts, '|'-separated
};

struct ProbeMessage {
    std::wstring owner;
    bool icon = false;
    std::wstring text;
};

struct ProbeRun {
    bool finished = false; // ended by itself, with exit code 0
    std::string output;    // everything it printed, for failure messages
    std::vector<ProbeState> states;
    std::vector<ProbeBrowser> browsers;
    std::vector<ProbeMessage> messages;
    std::wstring result; // the settings dialog's modal result
    std::wstring chosen; // what the game-directory selection returned
};

// A folder of one test directly under the root of drive C:, removed with everything in it when
// the test ends. The game folders that the browser is told to select live here: Wine's folder
// browser finds a folder by comparing each folder on the way with the entry it listed when it
// first opened that folder's parent, modification time included, and the shared temporary
// folder changes all the time while other tests run.
class DriveRootFolder {
public:
    DriveRootFolder();
    DriveRootFolder(const DriveRootFolder&) = delete;
    DriveRootFolder& operator=(const DriveRootFolder&) = delete;
    ~DriveRootFolder();

    [[nodiscard]] std::wstring Path(std::wstring_view name) const;

private:
    std::wstring m_path;
};

// The application folder; every test starts with a copy of the probe and no config.ini.
class ProbeFolder : public ::testing::Test {
protected:
    void SetUp() override;

    // "set" with the steps (see ProbeUser.h), or "choose" with a browse target.
    [[nodiscard]] ProbeRun RunSettingsDialog(const std::vector<std::wstring>& steps);
    [[nodiscard]] ProbeRun RunChoose(const std::wstring& target);

    [[nodiscard]] std::wstring ConfigPath() const { return m_appFolder + L"config.ini"; }
    // The text in the system's code page, as the profile functions write a new file.
    void WriteConfig(std::wstring_view text);
    void WriteConfigBytes(std::string_view bytes);
    [[nodiscard]] std::string ConfigBytes() const;
    [[nodiscard]] std::wstring Setting(const wchar_t* section, const wchar_t* key) const;

    // A folder of the test's own for the game, with or without the launcher in it.
    [[nodiscard]] std::wstring MakeGameFolder(std::wstring_view name, bool withLauncher);

    TempDir m_root;
    DriveRootFolder m_games;
    std::wstring m_appFolder;
};

} // namespace test
