// The whole program in a folder of its own: one copy at a time, exit code 0 on every way out; and
// the papers of the build's programs.
#include "res/resource.h"
#include "tests/support/Files.h"
#include "tests/support/Process.h"
#include "tests/support/RegistryKey.h"
#include "tests/support/WindowDriver.h"

#include <gtest/gtest.h>

#include <optional>

using namespace test;

namespace {

// Stand-ins for the system DLLs that the programs link with delayed imports (bin/planted).
constexpr const wchar_t* kPlanted[] = {L"comctl32", L"crypt32", L"urlmon", L"winhttp", L"wintrust"};

// Wine told to prefer a DLL of those names beside QUIB.exe to its own, as Windows does for every
// DLL that is not one of its KnownDLLs (WINEDLLOVERRIDES name=n,b). Set for the program in the
// prefix's registry: a program started from here takes WINEDLLOVERRIDES from this process's Unix
// environment only, which CTest sets.
struct PreferPlanted {
    const std::wstring key = L"Software\\Wine\\AppDefaults\\QUIB.exe";
    PreferPlanted()
    {
        for (const wchar_t* name : kPlanted)
            EXPECT_TRUE(SetRegValue(HKEY_CURRENT_USER, key + L"\\DllOverrides", name, REG_SZ,
                                    TextBytes(L"native,builtin")));
    }
    ~PreferPlanted() { ::RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str()); }
};

} // namespace

TEST(Program, OneCopyAtATimeAndEveryWayOutEndsWithZero)
{
    enum Second { None, Shown, Hidden }; // a second copy started while the first is so
    struct Run {
        const char* config;
        Second second;
        UINT command;
        bool updater; // a passing updater in place for the command to start
    };
    // In turn, each only once the one before has let go of the single-instance mutex. Then the
    // program is signed, so that its check reads the updater's signature, and the system's
    // libraries are planted beside it: none of them may be loaded.
    for (const auto& [config, second, command, updater] : {
             Run{"[system]\r\nexit=1\r\n", Shown, ID_TRAY_EXIT, false},
             {"[system]\r\nexit=2\r\n", Hidden, IDC_BTN_CLOSE, false},
             {"", None, ID_UPDATE_CHECK, true},
         }) {
        SCOPED_TRACE(testing::Message() << config << " command " << command);
        TempDir dir;
        const std::wstring quib = dir.Path(L"QUIB.exe"), target = dir.Path(L"ZantoVkUpdate.exe");
        const std::wstring signedPrograms = ProgramPath(L"signed\\");
        ASSERT_TRUE(::CopyFileW(updater ? (signedPrograms + L"quib-a.exe").c_str()
                                        : ProgramPath(L"QUIB.exe").c_str(),
                                quib.c_str(), FALSE));
        ASSERT_TRUE(WriteFileBytes(dir.Path(L"config.ini"), config));
        // Records of downloads left for more than 30 days go at the start, younger ones stay.
        ASSERT_TRUE(::CreateDirectoryW(dir.Path(L"DownloadRecords").c_str(), nullptr));
        for (const auto& [name, days] : {std::pair{L"old.version", 31}, {L"young.version", 29}}) {
            const std::wstring record = dir.Path(L"DownloadRecords\\") + name;
            ASSERT_TRUE(WriteFileBytes(record, "r"));
            const UniqueFile file(::CreateFileW(record.c_str(), GENERIC_WRITE, 0, nullptr,
                                                OPEN_EXISTING, 0, nullptr));
            FILETIME now{};
            ::GetSystemTimeAsFileTime(&now);
            ULARGE_INTEGER time{{now.dwLowDateTime, now.dwHighDateTime}};
            time.QuadPart -= days * 24ull * 3600 * 10'000'000;
            const FILETIME written{time.LowPart, time.HighPart};
            ASSERT_TRUE(::SetFileTime(file.Get(), nullptr, nullptr, &written));
        }
        ASSERT_TRUE(!updater || ::CopyFileW((signedPrograms + L"updater-a.exe").c_str(),
                                            target.c_str(), FALSE));
        for (const wchar_t* name : kPlanted) {
            const std::wstring planted = std::wstring(name) + L".dll";
            ASSERT_TRUE(!updater || ::CopyFileW(ProgramPath(L"planted\\" + planted).c_str(),
                                                dir.Path(planted).c_str(), FALSE));
        }
        const std::optional<PreferPlanted> overrides =
            updater ? std::make_optional<PreferPlanted>() : std::nullopt;
        UniqueHandle first = StartProcess(L'"' + quib + L'"', dir.Path());
        struct Ender { // a copy left running would keep the next from starting
            HANDLE process;
            ~Ender() { ::TerminateProcess(process, 1), ::WaitForSingleObject(process, 20000); }
        } ender{first.Get()};
        std::vector<HWND> shown; // its window, acted on once it is shown and its loop runs
        ASSERT_TRUE(WaitUntil(
            [&] {
                shown = TopWindows(Whose::StartedPrograms, L"#32770", L"ZantoValdmarkolTessaly");
                return !shown.empty();
            },
            20000));
        HWND window = shown[0];
        ::WaitForInputIdle(first.Get(), 20000);
        DWORD code = 99;
        if (second != None) {
            ::ShowWindow(window, second == Hidden ? SW_HIDE : SW_SHOW);
            UniqueWindow thief(::CreateWindowExW(0, L"STATIC", L"thief", WS_POPUP | WS_VISIBLE, 0,
                                                 0, 50, 50, nullptr, nullptr, nullptr, nullptr));
            ::SetForegroundWindow(thief.Get());
            UniqueHandle copy = StartProcess(L'"' + quib + L'"', dir.Path());
            ASSERT_TRUE(WaitForExit(copy.Get(), 20000, code)) << "the second kept running";
            EXPECT_EQ(code, 0u);
            EXPECT_EQ(TopWindows(Whose::StartedPrograms, L"#32770").size(),
                      second == Shown ? 1u : 0u)
                << "the second showed a window, or the first came out of hiding";
            EXPECT_TRUE(second == Hidden ||
                        WaitUntil([&] { return ::GetForegroundWindow() == window; }, 5000))
                << "the first was not brought forward";
        }
        ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(command, BN_CLICKED),
                       LPARAM(::GetDlgItem(window, command))); // a click on the button
        ASSERT_TRUE(WaitForExit(first.Get(), 20000, code)) << "the program kept running";
        EXPECT_EQ(code, 0u);
        EXPECT_EQ(TreeBelow(dir.Path(L"DownloadRecords\\")),
                  std::set<std::string>{"young.version"});
        const std::wstring record = dir.Path(L"updater-ran.txt");
        EXPECT_TRUE(!updater ||
                    WaitUntil([&] { return ReadFileBytes(record) == "show=0\r\n"; }, 10000))
            << "the updater did not run hidden";
        // It must let go of its file before the folder goes.
        (void)WaitUntil([&] { return !updater || ::DeleteFileW(target.c_str()); }, 10000);
        for (const wchar_t* name : kPlanted)
            EXPECT_FALSE(FileExists(dir.Path(name + std::wstring(L"-loaded.txt")))) << Utf8(name);
    }
}

// What Explorer's properties, installers and code signing read: each program's version block,
// with the version CMake's project() hands this test.
TEST(Program, EachProgramCarriesItsVersionBlock)
{
    for (const std::wstring program : {L"QUIB.exe", L"pagescript.exe"}) {
        const std::wstring path = ProgramPath(program);
        DWORD unused = 0;
        std::string block(::GetFileVersionInfoSizeW(path.c_str(), &unused), '\0');
        ASSERT_TRUE(!block.empty() &&
                    ::GetFileVersionInfoW(path.c_str(), 0, DWORD(block.size()), block.data()))
            << "no version block in " << Utf8(program);
        void *name = nullptr, *version = nullptr, *numbers = nullptr;
        UINT size = 0;
        ASSERT_TRUE(::VerQueryValueW(block.data(), L"\\StringFileInfo\\040904b0\\OriginalFilename",
                                     &name, &size) &&
                    ::VerQueryValueW(block.data(), L"\\StringFileInfo\\040904b0\\FileVersion",
                                     &version, &size) &&
                    ::VerQueryValueW(block.data(), L"\\", &numbers, &size));
        const auto& fixed = *static_cast<const VS_FIXEDFILEINFO*>(numbers);
        const std::string shown = Utf8(static_cast<const wchar_t*>(name)) + " " +
                                  Utf8(static_cast<const wchar_t*>(version)) + " " +
                                  std::to_string(HIWORD(fixed.dwFileVersionMS)) + "." +
                                  std::to_string(LOWORD(fixed.dwFileVersionMS)) + "." +
                                  std::to_string(HIWORD(fixed.dwFileVersionLS));
        EXPECT_EQ(shown, Utf8(program) + " " QUIB_PROJECT_VERSION " " QUIB_PROJECT_VERSION);
    }
}
