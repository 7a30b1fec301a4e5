#include "tests/settings/dialogs/DialogProbeRun.h"

#include "base/Text.h"
#include "settings/ConfigFile.h"
#include "tests/support/Files.h"
#include "tests/support/Process.h"

#include <stdexcept>

namespace test {
namespace {

constexpr wchar_t kProbeName[] = L"dialog_probe.exe";
constexpr DWORD kProbeTimeoutMs = 90000;

std::vector<std::wstring> SplitFields(const std::wstring& line)
{
    std::vector<std::wstring> fields;
    size_t start = 0;
    for (size_t tab; (tab = line.find(L'\t', start)) != std::wstring::npos; start = tab + 1)
        fields.push_back(line.substr(start, tab - start));
    fields.push_back(line.substr(start));
    return fields;
}

// Lines other than the probe's own (Wine's notes on standard error) are passed over.
void ParseLine(const std::wstring& line, ProbeRun& run)
{
    const std::vector<std::wstring> f = SplitFields(line);
    if (f[0] == L"state" && f.size() == 3)
        run.states.push_back({f[1], f[2]});
    else if (f[0] == L"browser" && f.size() == 3)
        run.browsers.push_back({f[1], f[2]});
    else if (f[0] == L"message" && f.size() == 4)
        run.messages.push_back({f[1], f[2] == L"1", f[3]});
    else if (f[0] == L"result" && f.size() == 2)
        run.result = f[1];
    else if (f[0] == L"chosen" && f.size() == 2)
        run.chosen = f[1];
}

// One argument as the command line's parser reads it back: backslashes before the closing
// quote are doubled, so that a drive root such as C:\ keeps its separator.
std::wstring QuoteArgument(const std::wstring& argument)
{
    std::wstring quoted = L"\"" + argument;
    const size_t last = argument.find_last_not_of(L'\\');
    quoted.append(argument.size() - (last == std::wstring::npos ? 0 : last + 1), L'\\');
    return quoted + L"\"";
}

ProbeRun RunProbe(const std::wstring& folder, const std::wstring& arguments)
{
    // The working folder is the application folder: a path the code makes relative to the
    // current drive lands there.
    const ProcessResult process =
        RunProcess(Quote(folder + kProbeName) + L" " + arguments, kProbeTimeoutMs, folder);
    ProbeRun run;
    run.output = process.output;
    run.finished = process.started && !process.timedOut && process.exitCode == 0;
    std::wstring output = Wide(process.output);
    size_t start = 0;
    while (start < output.size()) {
        size_t end = output.find(L'\n', start);
        if (end == std::wstring::npos)
            end = output.size();
        std::wstring line = output.substr(start, end - start);
        if (!line.empty() && line.back() == L'\r')
            line.pop_back();
        ParseLine(line, run);
        start = end + 1;
    }
    return run;
}

} // namespace

DriveRootFolder::DriveRootFolder()
{
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100 && m_path.empty(); ++attempt) {
        const std::wstring path = L"C:\\quib-games-" + std::to_wstring(::GetCurrentProcessId()) +
                                  L"-" + std::to_wstring(counter++) + L"\\";
        if (::CreateDirectoryW(path.c_str(), nullptr))
            m_path = path;
    }
    if (m_path.empty())
        throw std::runtime_error("cannot create a folder at the root of drive C:");
}

DriveRootFolder::~DriveRootFolder() { RemoveTree(m_path); }

std::wstring DriveRootFolder::Path(std::wstring_view name) const
{
    return m_path + std::wstring(name);
}

void ProbeFolder::SetUp()
{
    // A Chinese folder name with a space, as players' folders are.
    m_appFolder = m_root.Path(L"瓦尔德马克 工具\\");
    ASSERT_TRUE(::CreateDirectoryW(m_appFolder.c_str(), nullptr));
    ASSERT_TRUE(CopyProgram(kProbeName, m_appFolder)) << "dialog_probe.exe is not built";
}

ProbeRun ProbeFolder::RunSettingsDialog(const std::vector<std::wstring>& steps)
{
    std::wstring arguments = L"set";
    for (const std::wstring& step : steps)
        arguments += L" " + QuoteArgument(step);
    return RunProbe(m_appFolder, arguments);
}

ProbeRun ProbeFolder::RunChoose(const std::wstring& target)
{
    return RunProbe(m_appFolder, L"choose " + QuoteArgument(target));
}

void ProbeFolder::WriteConfig(std::wstring_view text)
{
    WriteConfigBytes(text::ToCodePage(text, CP_ACP));
}

void ProbeFolder::WriteConfigBytes(std::string_view bytes)
{
    ASSERT_TRUE(WriteFileBytes(ConfigPath(), bytes));
}

std::string ProbeFolder::ConfigBytes() const { return ReadFileBytes(ConfigPath()); }

std::wstring ProbeFolder::Setting(const wchar_t* section, const wchar_t* key) const
{
    // Wider than any reader of the tool, so that a value cut by a reader would show.
    constexpr size_t kCapacity = 1024;
    return settings::ReadProfileValue(ConfigPath(), section, key, kCapacity);
}

std::wstring ProbeFolder::MakeGameFolder(std::wstring_view name, bool withLauncher)
{
    const std::wstring folder = m_games.Path(name);
    EXPECT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    if (withLauncher) {
        EXPECT_TRUE(WriteFileBytes(folder + L"\\Launch.exe", "MZ"));
    }
    return folder;
}

} // namespace test
