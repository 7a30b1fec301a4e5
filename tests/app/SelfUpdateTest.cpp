// The notice of a newer version, the manual update command and the updater start, against the
// loopback server, which serves a stand-in updater built by the tests.
#include "app/UpdaterFetch.h"
#include "res/resource.h"
#include "tests/app/MainWindowFixture.h"
#include "tests/support/Files.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/Wait.h"
#include "web/HostMessages.h"

#include <gtest/gtest.h>

#include <utility>

using test::MainWindowTest;

namespace {

constexpr wchar_t kUpdateCaption[] = L"更新";
constexpr wchar_t kUpdatePrompt[] = L"发现服务器有新版本，是否升级？";
constexpr wchar_t kFetchFailed[] = L"更新工具下载失败!";
// The record the stand-in updater writes when started hidden (SW_HIDE = 0).
constexpr char kRanHidden[] = "show=0\r\n";

std::string UpdaterBytes() { return test::ReadFileBytes(test::ProgramPath(L"fake_updater.exe")); }

// Made for the run by tests/support/make-signed-programs.
std::wstring Signed(const wchar_t* name) { return test::ProgramPath(L"signed\\") + name; }
std::string SignedBytes(const wchar_t* name) { return test::ReadFileBytes(Signed(name)); }

std::string AutoUpdate(const char* value)
{
    return value ? std::string("[system]\r\nautoupdate=") + value + "\r\n"
                 : "[quibver]\r\nversion=2.1\r\n";
}

} // namespace

class SelfUpdateTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        ASSERT_NE(test::Servers().http, 0) << "the loopback servers are not running";
        m_token = test::UniqueToken();
    }

    // The server's answer of the given mode, under this test's token.
    std::wstring Url(const std::string& mode, uint64_t size = 0, int64_t extra = -1) const
    {
        return test::CaseUrl(m_token, mode, size, extra);
    }
    // The address of the bytes, served whole under a token of their own.
    std::wstring Serve(const std::string& bytes)
    {
        m_token = test::UniqueToken();
        EXPECT_TRUE(test::GiveFile(m_token, bytes));
        return Url("given");
    }
    // The address of the stand-in updater, served whole.
    std::wstring UpdaterUrl() { return Serve(UpdaterBytes()); }
    std::vector<std::string> Requests() const { return test::RecordedRequestLines(m_token); }
    std::wstring Updater() const { return m_folder.Path(L"ZantoVkUpdate.exe"); }
    std::wstring Record() const { return m_folder.Path(L"updater-ran.txt"); }

    // Waits for the stand-in updater's record and for the process to let go of its file, then
    // takes the record and the updater away for the next case.
    std::string WaitForUpdaterRun() const
    {
        if (!test::WaitUntil([&] { return test::ReadFileBytes(Record()).size() > 0; }, 10000))
            return "(the updater never ran)";
        (void)test::WaitUntil([&] { return ::DeleteFileW(Updater().c_str()) != FALSE; }, 10000);
        const std::string record = test::ReadFileBytes(Record());
        ::DeleteFileW(Record().c_str());
        return record;
    }

    // A started updater keeps its file in use until it has written its record and ended: a file
    // that can be deleted at once, with no record beside it, was never started.
    bool NeverStarted() const
    {
        const bool deleted = ::DeleteFileW(Updater().c_str()) || !test::FileExists(Updater());
        return deleted && !test::FileExists(Record());
    }

    // Runs the update with setting 1 and answers the failure message, if one comes.
    std::vector<test::SeenBox> Update()
    {
        test::BoxAnswerer answerer({{kUpdateCaption, IDOK}});
        EXPECT_EQ(::SendMessageW(m_hWnd, WM_UPDATE_FOUND, 0, 0), 1);
        EXPECT_EQ(test::TakeQuitMessage(), 0) << "every update ends with the quit";
        return answerer.Seen();
    }

    std::string m_token;
};

TEST_F(SelfUpdateTest, Setting1FetchesTheUpdaterStartsItHiddenAndQuitsWithoutAsking)
{
    ASSERT_NE(Open(AutoUpdate("1"), UpdaterUrl()), nullptr);
    test::BoxAnswerer answerer({{kUpdateCaption, IDCANCEL}});

    EXPECT_EQ(::SendMessageW(m_hWnd, WM_UPDATE_FOUND, 0, 0), 1);
    EXPECT_EQ(test::TakeQuitMessage(), 0) << "the tool quits with exit code 0";
    EXPECT_TRUE(answerer.Seen().empty()) << "setting 1 never asks";
    EXPECT_EQ(Requests(), std::vector<std::string>{"GET /" + m_token + "/given/0 HTTP/1.1"});
    EXPECT_EQ(test::ReadFileBytes(Updater()), UpdaterBytes()) << "the updater arrived whole";
    EXPECT_EQ(WaitForUpdaterRun(), kRanHidden);
    EXPECT_EQ(FolderNames(), std::vector<std::wstring>{L"config.ini"})
        << "no temporary file is left";
}

TEST_F(SelfUpdateTest, AnyOtherSettingAsksAndCancelKeepsTheToolRunning)
{
    const std::wstring url = UpdaterUrl();
    for (const char* setting : {"0", static_cast<const char*>(nullptr), "01", "2"}) {
        ASSERT_NE(Open(AutoUpdate(setting), url), nullptr);
        {
            test::BoxAnswerer answerer({{kUpdateCaption, IDCANCEL}});
            EXPECT_EQ(::SendMessageW(m_hWnd, WM_UPDATE_FOUND, 0, 0), 1);
            const auto seen = answerer.Seen();
            ASSERT_EQ(seen.size(), 1u) << "setting " << (setting ? setting : "missing");
            EXPECT_EQ(seen[0].text, kUpdatePrompt);
            EXPECT_EQ(seen[0].owner, m_hWnd);
        }
        EXPECT_EQ(test::TakeQuitMessage(), -1) << "Cancel keeps the tool running";
        EXPECT_TRUE(IsOpen() && ::IsWindowVisible(m_hWnd));
        EXPECT_FALSE(test::FileExists(Updater()));
        Close();
    }
    EXPECT_TRUE(Requests().empty()) << "nothing is fetched after Cancel";
}

TEST_F(SelfUpdateTest, OkInThePromptStartsTheUpdate)
{
    ASSERT_NE(Open(AutoUpdate("0"), UpdaterUrl()), nullptr);
    test::BoxAnswerer answerer({{kUpdateCaption, IDOK}});
    ::SendMessageW(m_hWnd, WM_UPDATE_FOUND, 0, 0);
    EXPECT_EQ(answerer.Seen().size(), 1u);
    EXPECT_EQ(test::TakeQuitMessage(), 0);
    EXPECT_EQ(Requests().size(), 1u);
    EXPECT_EQ(WaitForUpdaterRun(), kRanHidden);
}

TEST_F(SelfUpdateTest, TheCheckCommandUpdatesWithoutAskingWhateverTheSetting)
{
    ASSERT_NE(Open(AutoUpdate("0"), UpdaterUrl()), nullptr);
    test::BoxAnswerer answerer({{kUpdateCaption, IDCANCEL}});
    Command(ID_UPDATE_CHECK);
    EXPECT_TRUE(answerer.Seen().empty());
    EXPECT_EQ(test::TakeQuitMessage(), 0);
    EXPECT_EQ(WaitForUpdaterRun(), kRanHidden);
}

TEST_F(SelfUpdateTest, AnUpdaterInPlaceIsStartedWithoutFetchingItAgain)
{
    ASSERT_TRUE(test::WriteFileBytes(Updater(), UpdaterBytes()));
    ASSERT_NE(Open(AutoUpdate("1"), Url("file", 100)), nullptr);
    test::BoxAnswerer answerer({{kUpdateCaption, IDOK}});
    ::SendMessageW(m_hWnd, WM_UPDATE_FOUND, 0, 0);
    EXPECT_EQ(test::TakeQuitMessage(), 0);
    EXPECT_TRUE(Requests().empty());
    EXPECT_TRUE(answerer.Seen().empty());
    EXPECT_EQ(WaitForUpdaterRun(), kRanHidden);
}

TEST_F(SelfUpdateTest, ABadDownloadLeavesNoUpdaterShowsTheFailureAndStillQuits)
{
    // Limits short enough to end a stall or a trickle within seconds, and a size limit below
    // the stand-in updater's size, which would start it if the limits did not reach the fetch.
    m_updaterLimits = {2000, 3000, UpdaterBytes().size() - 1};
    const struct {
        const char* what;
        const char* mode;
        uint64_t size;
        int64_t extra;
        std::string given; // what the mode "given" serves
    } cases[] = {
        {"404 with an error page", "status", 0, 404, {}},
        {"body cut off midway", "drop", 40960, 5000, {}},
        {"body without any length", "nolength", 100, -1, {}},
        {"empty body", "file", 0, -1, {}},
        {"a login page with 200 and its length", "given", 0, -1, SignedBytes(L"page.html")},
        {"a server that never answers", "stall", 0, -1, {}},
        {"a server that trickles a byte every 300 ms", "trickle", 100, 300, {}},
        {"an updater above the size limit", "given", 0, -1, UpdaterBytes()},
    };
    for (const auto& c : cases) {
        m_token = test::UniqueToken();
        if (!c.given.empty()) {
            ASSERT_TRUE(test::GiveFile(m_token, c.given));
        }
        ASSERT_NE(Open(AutoUpdate("1"), Url(c.mode, c.size, c.extra)), nullptr);
        {
            test::BoxAnswerer answerer({{kUpdateCaption, IDOK}});
            ::SendMessageW(m_hWnd, WM_UPDATE_FOUND, 0, 0);
            const auto seen = answerer.Seen();
            ASSERT_EQ(seen.size(), 1u) << c.what;
            EXPECT_EQ(seen[0].text, kFetchFailed) << c.what;
            EXPECT_EQ(seen[0].owner, m_hWnd);
        }
        EXPECT_EQ(test::TakeQuitMessage(), 0) << c.what << ": the tool quits all the same";
        EXPECT_EQ(Requests().size(), 1u) << c.what;
        EXPECT_EQ(FolderNames(), std::vector<std::wstring>{L"config.ini"})
            << c.what << ": neither the updater nor a temporary file may stay";
        Close();
    }
}

TEST_F(SelfUpdateTest, AnUnreachableServerShowsTheFailureAndQuits)
{
    // Nothing listens on port 1 of the loopback address.
    ASSERT_NE(Open(AutoUpdate("1"), L"http://127.0.0.1:1/VkToolWeb/ZantoVkUpdate.exe"), nullptr);
    test::BoxAnswerer answerer({{kUpdateCaption, IDOK}});
    Command(ID_UPDATE_CHECK);
    ASSERT_EQ(answerer.Seen().size(), 1u);
    EXPECT_EQ(answerer.Seen()[0].text, kFetchFailed);
    EXPECT_EQ(test::TakeQuitMessage(), 0);
    EXPECT_EQ(FolderNames(), std::vector<std::wstring>{L"config.ini"});
}

TEST_F(SelfUpdateTest, ASignedToolStartsOnlyAnUpdaterOfItsOwnSubject)
{
    m_toolPath = Signed(L"quib-a.exe");
    const struct {
        const wchar_t* served;
        bool started;
    } cases[] = {
        {L"updater-a.exe", true},
        {L"updater-b.exe", false},
        {L"updater-a-changed.exe", false},
        {L"updater-unsigned.exe", false},
    };
    for (const auto& c : cases) {
        const std::string what = test::Utf8(c.served);
        ASSERT_NE(Open(AutoUpdate("1"), Serve(SignedBytes(c.served))), nullptr);
        const auto seen = Update();
        EXPECT_EQ(Requests().size(), 1u) << what;
        if (c.started) {
            EXPECT_TRUE(seen.empty()) << what;
            EXPECT_EQ(WaitForUpdaterRun(), kRanHidden) << what;
        } else {
            ASSERT_EQ(seen.size(), 1u) << what << ": the refusal is reported as a failed fetch";
            EXPECT_EQ(seen[0].text, kFetchFailed) << what;
            EXPECT_EQ(FolderNames(), std::vector<std::wstring>{L"config.ini"})
                << what << ": a refused file must not stay, under any name";
        }
        Close();
    }
}

TEST_F(SelfUpdateTest, ARefusedUpdaterInPlaceIsNeverStartedAndOnlyAPassingOneReplacesIt)
{
    const struct {
        const char* what;
        std::wstring tool;
        std::string inPlace;
        std::string served; // empty: the server answers 404
        bool started;
    } cases[] = {
        {"5 bytes in place, a program served", test::ProgramPath(L"QUIB.exe"),
         SignedBytes(L"five-bytes.exe"), UpdaterBytes(), true},
        {"another subject's updater in place, nothing served", Signed(L"quib-a.exe"),
         SignedBytes(L"updater-b.exe"), {}, false},
    };
    for (const auto& c : cases) {
        m_toolPath = c.tool;
        m_token = test::UniqueToken();
        const std::wstring url = c.served.empty() ? Url("status", 0, 404) : Serve(c.served);
        ASSERT_TRUE(test::WriteFileBytes(Updater(), c.inPlace));
        ASSERT_NE(Open(AutoUpdate("1"), url), nullptr);
        const auto seen = Update();
        EXPECT_EQ(Requests().size(), 1u) << c.what << ": the refused one is fetched anew";
        if (c.started) {
            EXPECT_TRUE(seen.empty()) << c.what;
            EXPECT_EQ(test::ReadFileBytes(Updater()), c.served) << c.what;
            EXPECT_EQ(WaitForUpdaterRun(), kRanHidden) << c.what;
        } else {
            EXPECT_EQ(seen.size(), 1u) << c.what;
            EXPECT_EQ(test::ReadFileBytes(Updater()), c.inPlace) << c.what;
            EXPECT_TRUE(NeverStarted()) << c.what;
        }
        Close();
    }
}

TEST_F(SelfUpdateTest, ANoticeDuringAnUpdateIsIgnored)
{
    {
        ASSERT_NE(Open(AutoUpdate("1"), UpdaterUrl()), nullptr);
        // The second arrives before the window's loop has taken the quit.
        EXPECT_TRUE(Update().empty());
        EXPECT_EQ(::SendMessageW(m_hWnd, WM_UPDATE_FOUND, 0, 0), 1);
        EXPECT_EQ(test::TakeQuitMessage(), -1) << "back to back: a second quit";
        EXPECT_EQ(Requests().size(), 1u) << "back to back";
        EXPECT_EQ(WaitForUpdaterRun(), kRanHidden) << "back to back: started once";
        Close();
    }
    // A second notice delivered inside the loop of a box that the first one showed.
    const struct {
        const char* box;
        const char* setting;
        int answer;
        size_t requests;
        int quit;
    } boxes[] = {
        {"the failure message", "1", IDOK, 1, 0},
        {"the prompt", "0", IDCANCEL, 0, -1},
    };
    for (const auto& b : boxes) {
        m_token = test::UniqueToken();
        ASSERT_NE(Open(AutoUpdate(b.setting), Url("status", 0, 404)), nullptr);
        LRESULT nested = 0;
        bool sent = false;
        test::BoxAnswerer answerer({{kUpdateCaption, b.answer}}, test::Whose::ThisProcess, [&] {
            // Once, and bounded: a second box, which this thread would answer only afterwards,
            // must not hang the test.
            if (std::exchange(sent, true))
                return;
            DWORD_PTR result = 0;
            nested =
                ::SendMessageTimeoutW(m_hWnd, WM_UPDATE_FOUND, 0, 0, SMTO_NORMAL, 10000, &result);
        });
        ::SendMessageW(m_hWnd, WM_UPDATE_FOUND, 0, 0);
        EXPECT_NE(nested, 0) << b.box << ": the second notice was not handled at once";
        EXPECT_EQ(answerer.Seen().size(), 1u) << b.box;
        EXPECT_EQ(Requests().size(), b.requests) << b.box;
        EXPECT_EQ(test::TakeQuitMessage(), b.quit) << b.box;
        Close();
    }
}

TEST(UpdaterFetch, ReportsWhyAFetchFailedAndKeepsWhatWasThere)
{
    ASSERT_NE(test::Servers().http, 0) << "the loopback servers are not running";
    const app::FetchedFileCheck kAnyFile = [](const std::wstring&) { return true; };
    const std::string token = test::UniqueToken();
    test::TempDir folder;
    const std::wstring target = folder.Path(L"ZantoVkUpdate.exe");
    ASSERT_TRUE(test::WriteFileBytes(target, "the updater that was there"));
    // A stall or a trickle holds the fetch for as long as the server goes on unless a limit
    // ends it: these limits end it within seconds, each by one limit alone (the server lets a
    // stalled client go after a minute).
    const app::FetchLimits defaults;
    const app::FetchLimits shortWaits{1000, 600'000, defaults.maxBytes};
    const app::FetchLimits shortWhole{600'000, 2000, defaults.maxBytes};
    // Chunks carry no length to check the body against: under Wine a body that lost its last
    // chunk reads as cleanly to its end as a whole one, so neither is taken.
    const struct {
        const char* what;
        std::wstring url;
        app::FetchLimits limits;
        app::FetchResult expected;
    } cases[] = {
        {"404", test::CaseUrl(token, "status", 0, 404), defaults, app::FetchResult::BadStatus},
        {"206", test::CaseUrl(token, "status", 0, 206), defaults, app::FetchResult::BadStatus},
        {"cut off", test::CaseUrl(token, "drop", 10, 5), defaults, app::FetchResult::Incomplete},
        {"no length", test::CaseUrl(token, "nolength", 5), defaults, app::FetchResult::Incomplete},
        {"chunks without the last one", test::CaseUrl(token, "chunked", 5000, 0), defaults,
         app::FetchResult::Incomplete},
        {"all chunks", test::CaseUrl(token, "chunked", 5000, 1), defaults,
         app::FetchResult::Incomplete},
        {"ftp", L"ftp://127.0.0.1/u.exe", defaults, app::FetchResult::BadAddress},
        {"no address", L"not an address", defaults, app::FetchResult::BadAddress},
        {"nothing listens", L"http://127.0.0.1:1/u.exe", defaults, app::FetchResult::NoConnection},
        {"never answers, each wait limited", test::CaseUrl(token, "stall"), shortWaits,
         app::FetchResult::TimedOut},
        {"never answers, the whole fetch limited", test::CaseUrl(token, "stall"), shortWhole,
         app::FetchResult::TimedOut},
        {"a byte every 300 ms", test::CaseUrl(token, "trickle", 100, 300), shortWhole,
         app::FetchResult::TimedOut},
        {"64 MiB and 1 announced", test::CaseUrl(token, "announce", (64 << 20) + 1), defaults,
         app::FetchResult::TooLarge},
        {"4 GiB and 1 announced", test::CaseUrl(token, "announce", (1ull << 32) + 1), defaults,
         app::FetchResult::TooLarge},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(app::FetchUpdater(c.url, target, kAnyFile, c.limits), c.expected) << c.what;
        EXPECT_EQ(test::ReadFileBytes(target), "the updater that was there") << c.what;
    }

    std::string checked;
    const auto refuse = [&](const std::wstring& file) {
        checked = file == target ? "(the target itself)" : test::ReadFileBytes(file);
        return false;
    };
    EXPECT_EQ(app::FetchUpdater(test::CaseUrl(token, "file", 11), target, refuse),
              app::FetchResult::Refused);
    EXPECT_EQ(checked, test::PatternBytes(0, 11)) << "the whole file is checked before it moves";
    EXPECT_EQ(test::ReadFileBytes(target), "the updater that was there");

    // Exactly as large as the size limit.
    const std::string saved = test::UniqueToken();
    const std::wstring url = test::CaseUrl(saved, "file", 1000) + L"?from=test";
    EXPECT_EQ(app::FetchUpdater(url, target, kAnyFile, {1000, 5000, 1000}),
              app::FetchResult::Saved);
    EXPECT_EQ(test::ReadFileBytes(target), test::PatternBytes(0, 1000));
    EXPECT_EQ(test::RecordedRequestLines(saved),
              std::vector<std::string>{"GET /" + saved + "/file/1000?from=test HTTP/1.1"});
    ::DeleteFileW(target.c_str());
    EXPECT_TRUE(::RemoveDirectoryW(folder.Path().c_str())) << "a temporary file was left";
}
