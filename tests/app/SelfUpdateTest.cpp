// The notice of a newer version, the manual update command and the updater start, against the
// loopback server, which serves a stand-in updater built by the tests and programs signed for
// the run (tests/support/make-signed-programs).
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
std::wstring Signed(const wchar_t* name) { return test::ProgramPath(L"signed\\") + name; }
std::string SignedBytes(const wchar_t* name) { return test::ReadFileBytes(Signed(name)); }

std::string AutoUpdate(const char* value)
{
    return value ? std::string("[system]\r\nautoupdate=") + value + "\r\n"
                 : "[quibver]\r\nversion=2.1\r\n";
}

// Where the window fetches from: an answer of the server under a token of its own, which tells
// the requests it received.
struct Source {
    std::string token; // empty: no address of the server
    std::wstring url;
    std::string bytes; // what it serves whole, if anything

    [[nodiscard]] size_t Requests() const
    {
        return token.empty() ? 0 : test::RecordedRequestLines(token).size();
    }
};

Source Answer(const std::string& mode, uint64_t size = 0, int64_t extra = -1)
{
    std::string token = test::UniqueToken();
    std::wstring url = test::CaseUrl(token, mode, size, extra);
    return {std::move(token), std::move(url), {}};
}

Source Serve(const std::string& bytes)
{
    Source source = Answer("given");
    EXPECT_TRUE(test::GiveFile(source.token, bytes));
    source.bytes = bytes;
    return source;
}

// How the update is asked for.
enum class Way {
    Notice,   // the page's notice with setting 1
    PromptOk, // the page's notice with setting 0, and OK in the prompt
    Command,  // "检查更新" with setting 0
};

} // namespace

class SelfUpdateTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        ASSERT_NE(test::Servers().http, 0) << "the loopback servers are not running";
    }

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

    // Asks for the update and answers its boxes with OK; the texts of the boxes, each checked to
    // be owned by the window.
    std::vector<std::wstring> Update(Way way)
    {
        test::BoxAnswerer answerer({{kUpdateCaption, IDOK}});
        if (way == Way::Command)
            Command(ID_UPDATE_CHECK);
        else
            EXPECT_EQ(::SendMessageW(m_hWnd, WM_UPDATE_FOUND, 0, 0), 1);
        for (const auto& box : answerer.Seen())
            EXPECT_EQ(box.owner, m_hWnd);
        return answerer.Texts();
    }
};

TEST_F(SelfUpdateTest, EveryUpdateStartsOnlyAPassingUpdaterHiddenAndQuits)
{
    const std::string updater = UpdaterBytes();
    const std::string signedA = SignedBytes(L"updater-a.exe");
    const std::string otherSubject = SignedBytes(L"updater-b.exe");
    const std::string changed = SignedBytes(L"updater-a-changed.exe");
    const std::string page = SignedBytes(L"page.html");
    // Short enough to end a stall or a trickle within seconds; the size limit lets the signed
    // updater through and refuses it with one byte more, which would start it were the limits
    // not handed on to the fetch.
    m_updaterLimits = {2000, 3000, signedA.size()};
    const struct {
        const char* what;
        Way way;
        bool signedTool; // a copy of the tool signed by the updater's signer, or the build
        std::string inPlace;
        Source source;
        bool started; // the updater runs hidden; otherwise the failure message, nothing runs
        size_t requests;
    } cases[] = {
        {"setting 1 fetches without asking", Way::Notice, false, {}, Serve(updater), true, 1},
        {"OK in the prompt", Way::PromptOk, false, {}, Serve(updater), true, 1},
        {"the check command, setting 0", Way::Command, false, {}, Serve(updater), true, 1},
        {"a passing updater in place", Way::Notice, false, updater, Answer("file", 100), true, 0},
        {"5 bytes in place", Way::Notice, false, SignedBytes(L"five-bytes.exe"), Serve(updater),
         true, 1},
        {"signed tool, updater of its subject", Way::Notice, true, {}, Serve(signedA), true, 1},
        {"signed tool, another subject", Way::Notice, true, {}, Serve(otherSubject), false, 1},
        {"signed tool, a byte changed", Way::Notice, true, {}, Serve(changed), false, 1},
        {"signed tool, unsigned updater", Way::Notice, true, {}, Serve(updater), false, 1},
        {"signed tool, another subject's updater in place, 404", Way::Notice, true, otherSubject,
         Answer("status", 0, 404), false, 1},
        {"404 with an error page", Way::Notice, false, {}, Answer("status", 0, 404), false, 1},
        {"body cut off midway", Way::Notice, false, {}, Answer("drop", 40960, 5000), false, 1},
        {"body without any length", Way::Notice, false, {}, Answer("nolength", 100), false, 1},
        {"empty body", Way::Notice, false, {}, Answer("file"), false, 1},
        {"a login page with 200 and its length", Way::Notice, false, {}, Serve(page), false, 1},
        {"a server that never answers", Way::Notice, false, {}, Answer("stall"), false, 1},
        {"a byte every 300 ms", Way::Notice, false, {}, Answer("trickle", 100, 300), false, 1},
        {"above the size limit", Way::Notice, false, {}, Serve(signedA + '\0'), false, 1},
        // Nothing listens on port 1 of the loopback address.
        {"nothing listens", Way::Notice, false, {}, {{}, L"http://127.0.0.1:1/u", {}}, false, 0},
    };
    for (const auto& c : cases) {
        m_toolPath = c.signedTool ? Signed(L"quib-a.exe") : L"";
        if (!c.inPlace.empty()) {
            ASSERT_TRUE(test::WriteFileBytes(Updater(), c.inPlace)) << c.what;
        }
        ASSERT_NE(Open(AutoUpdate(c.way == Way::Notice ? "1" : "0"), c.source.url), nullptr);
        const std::vector<std::wstring> texts = Update(c.way);
        EXPECT_EQ(test::TakeQuitMessage(), 0) << c.what << ": every update ends with the quit";
        EXPECT_EQ(c.source.Requests(), c.requests) << c.what;
        std::vector<std::wstring> expected;
        if (c.way == Way::PromptOk)
            expected.push_back(kUpdatePrompt);
        if (!c.started)
            expected.push_back(kFetchFailed);
        EXPECT_EQ(texts, expected) << c.what;
        if (c.started) {
            EXPECT_EQ(test::ReadFileBytes(Updater()), c.requests ? c.source.bytes : c.inPlace)
                << c.what;
            EXPECT_EQ(WaitForUpdaterRun(), kRanHidden) << c.what;
        } else {
            EXPECT_EQ(test::ReadFileBytes(Updater()), c.inPlace) << c.what << ": replaced";
            EXPECT_TRUE(NeverStarted()) << c.what;
        }
        EXPECT_EQ(FolderNames(), std::vector<std::wstring>{L"config.ini"})
            << c.what << ": neither a temporary file nor a refused updater may stay";
        Close();
    }
}

TEST_F(SelfUpdateTest, AnyOtherSettingAsksAndCancelKeepsTheToolRunning)
{
    const Source source = Serve(UpdaterBytes());
    for (const char* setting : {"0", static_cast<const char*>(nullptr), "01", "2"}) {
        ASSERT_NE(Open(AutoUpdate(setting), source.url), nullptr);
        {
            test::BoxAnswerer answerer({{kUpdateCaption, IDCANCEL}});
            EXPECT_EQ(::SendMessageW(m_hWnd, WM_UPDATE_FOUND, 0, 0), 1);
            EXPECT_EQ(answerer.Texts(), std::vector<std::wstring>{kUpdatePrompt})
                << "setting " << (setting ? setting : "missing");
        }
        EXPECT_EQ(test::TakeQuitMessage(), -1) << "Cancel keeps the tool running";
        EXPECT_TRUE(IsOpen() && ::IsWindowVisible(m_hWnd));
        EXPECT_FALSE(test::FileExists(Updater()));
        Close();
    }
    EXPECT_EQ(source.Requests(), 0u) << "nothing is fetched after Cancel";
}

TEST_F(SelfUpdateTest, ANoticeDuringAnUpdateIsIgnored)
{
    {
        const Source source = Serve(UpdaterBytes());
        ASSERT_NE(Open(AutoUpdate("1"), source.url), nullptr);
        // The second arrives before the window's loop has taken the quit.
        EXPECT_TRUE(Update(Way::Notice).empty());
        EXPECT_TRUE(Update(Way::Notice).empty());
        EXPECT_EQ(test::TakeQuitMessage(), 0) << "back to back";
        EXPECT_EQ(test::TakeQuitMessage(), -1) << "back to back: a second quit";
        EXPECT_EQ(source.Requests(), 1u) << "back to back";
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
        const Source source = Answer("status", 0, 404);
        ASSERT_NE(Open(AutoUpdate(b.setting), source.url), nullptr);
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
        EXPECT_EQ(source.Requests(), b.requests) << b.box;
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
