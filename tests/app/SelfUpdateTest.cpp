// The notice of a newer version, the manual update command and the updater start, against a
// local HTTP server that serves a stand-in updater built by the tests.
#include "app/Messages.h"
#include "app/UpdaterFetch.h"
#include "res/resource.h"
#include "tests/app/LocalHttpServer.h"
#include "tests/app/MainWindowFixture.h"
#include "tests/support/Files.h"
#include "tests/support/Wait.h"

#include <gtest/gtest.h>

#include <utility>

using test::MainWindowTest;

namespace {

constexpr wchar_t kUpdateCaption[] = L"更新";
constexpr wchar_t kUpdatePrompt[] = L"发现服务器有新版本，是否升级？";
constexpr wchar_t kFetchFailed[] = L"更新工具下载失败!";
constexpr wchar_t kUpdaterPath[] = L"/VkToolWeb/ZantoVkUpdate.exe";
constexpr char kUpdaterRequest[] = "GET /VkToolWeb/ZantoVkUpdate.exe HTTP/1.1";
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
};

TEST_F(SelfUpdateTest, Setting1FetchesTheUpdaterStartsItHiddenAndQuitsWithoutAsking)
{
    test::LocalHttpServer server({200, UpdaterBytes()});
    ASSERT_TRUE(server.IsListening());
    ASSERT_NE(Open(AutoUpdate("1"), server.Url(kUpdaterPath)), nullptr);
    test::BoxAnswerer answerer({{kUpdateCaption, IDCANCEL}});

    EXPECT_EQ(::SendMessageW(m_hWnd, WM_UPDATE_FOUND, 0, 0), 1);
    EXPECT_EQ(test::TakeQuitMessage(), 0) << "the tool quits with exit code 0";
    EXPECT_TRUE(answerer.Seen().empty()) << "setting 1 never asks";
    EXPECT_EQ(server.Requests(), std::vector<std::string>{kUpdaterRequest});
    EXPECT_EQ(test::ReadFileBytes(Updater()), UpdaterBytes()) << "the updater arrived whole";
    EXPECT_EQ(WaitForUpdaterRun(), kRanHidden);
    EXPECT_EQ(FolderNames(), std::vector<std::wstring>{L"config.ini"})
        << "no temporary file is left";
}

TEST_F(SelfUpdateTest, AnyOtherSettingAsksAndCancelKeepsTheToolRunning)
{
    test::LocalHttpServer server({200, UpdaterBytes()});
    for (const char* setting : {"0", static_cast<const char*>(nullptr), "01", "2"}) {
        ASSERT_NE(Open(AutoUpdate(setting), server.Url(kUpdaterPath)), nullptr);
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
    EXPECT_TRUE(server.Requests().empty()) << "nothing is fetched after Cancel";
}

TEST_F(SelfUpdateTest, OkInThePromptStartsTheUpdate)
{
    test::LocalHttpServer server({200, UpdaterBytes()});
    ASSERT_NE(Open(AutoUpdate("0"), server.Url(kUpdaterPath)), nullptr);
    test::BoxAnswerer answerer({{kUpdateCaption, IDOK}});
    ::SendMessageW(m_hWnd, WM_UPDATE_FOUND, 0, 0);
    EXPECT_EQ(answerer.Seen().size(), 1u);
    EXPECT_EQ(test::TakeQuitMessage(), 0);
    EXPECT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(WaitForUpdaterRun(), kRanHidden);
}

TEST_F(SelfUpdateTest, TheCheckCommandUpdatesWithoutAskingWhateverTheSetting)
{
    test::LocalHttpServer server({200, UpdaterBytes()});
    ASSERT_NE(Open(AutoUpdate("0"), server.Url(kUpdaterPath)), nullptr);
    test::BoxAnswerer answerer({{kUpdateCaption, IDCANCEL}});
    Command(ID_UPDATE_CHECK);
    EXPECT_TRUE(answerer.Seen().empty());
    EXPECT_EQ(test::TakeQuitMessage(), 0);
    EXPECT_EQ(WaitForUpdaterRun(), kRanHidden);
}

TEST_F(SelfUpdateTest, AnUpdaterInPlaceIsStartedWithoutFetchingItAgain)
{
    test::LocalHttpServer server({200, "a newer updater that must not be fetched"});
    ASSERT_TRUE(test::WriteFileBytes(Updater(), UpdaterBytes()));
    ASSERT_NE(Open(AutoUpdate("1"), server.Url(kUpdaterPath)), nullptr);
    test::BoxAnswerer answerer({{kUpdateCaption, IDOK}});
    ::SendMessageW(m_hWnd, WM_UPDATE_FOUND, 0, 0);
    EXPECT_EQ(test::TakeQuitMessage(), 0);
    EXPECT_TRUE(server.Requests().empty());
    EXPECT_TRUE(answerer.Seen().empty());
    EXPECT_EQ(WaitForUpdaterRun(), kRanHidden);
}

TEST_F(SelfUpdateTest, ABadDownloadLeavesNoUpdaterShowsTheFailureAndStillQuits)
{
    const std::string updater = UpdaterBytes();
    const struct {
        const char* what;
        test::HttpReply reply;
    } cases[] = {
        {"404 with an error page", {404, "<html>not found</html>"}},
        {"body cut off midway",
         {200, updater.substr(0, 5000), static_cast<long long>(updater.size())}},
        {"body without any length", {200, "MZ a body that ends with the connection", -1, true}},
        {"empty body", {200, ""}},
        {"a login page with 200 and its length", {200, SignedBytes(L"page.html")}},
    };
    for (const auto& c : cases) {
        test::LocalHttpServer server(c.reply);
        ASSERT_NE(Open(AutoUpdate("1"), server.Url(kUpdaterPath)), nullptr);
        {
            test::BoxAnswerer answerer({{kUpdateCaption, IDOK}});
            ::SendMessageW(m_hWnd, WM_UPDATE_FOUND, 0, 0);
            const auto seen = answerer.Seen();
            ASSERT_EQ(seen.size(), 1u) << c.what;
            EXPECT_EQ(seen[0].text, kFetchFailed) << c.what;
            EXPECT_EQ(seen[0].owner, m_hWnd);
        }
        EXPECT_EQ(test::TakeQuitMessage(), 0) << c.what << ": the tool quits all the same";
        EXPECT_EQ(server.Requests().size(), 1u) << c.what;
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
        test::LocalHttpServer server({200, SignedBytes(c.served)});
        ASSERT_NE(Open(AutoUpdate("1"), server.Url(kUpdaterPath)), nullptr);
        const auto seen = Update();
        EXPECT_EQ(server.Requests().size(), 1u) << what;
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
        test::HttpReply reply;
        bool started;
    } cases[] = {
        {"5 bytes in place, a program served",
         test::ProgramPath(L"QUIB.exe"),
         SignedBytes(L"five-bytes.exe"),
         {200, UpdaterBytes()},
         true},
        {"another subject's updater in place, nothing served",
         Signed(L"quib-a.exe"),
         SignedBytes(L"updater-b.exe"),
         {404, "gone"},
         false},
    };
    for (const auto& c : cases) {
        m_toolPath = c.tool;
        test::LocalHttpServer server(c.reply);
        ASSERT_TRUE(test::WriteFileBytes(Updater(), c.inPlace));
        ASSERT_NE(Open(AutoUpdate("1"), server.Url(kUpdaterPath)), nullptr);
        const auto seen = Update();
        EXPECT_EQ(server.Requests().size(), 1u) << c.what << ": the refused one is fetched anew";
        if (c.started) {
            EXPECT_TRUE(seen.empty()) << c.what;
            EXPECT_EQ(test::ReadFileBytes(Updater()), c.reply.body) << c.what;
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
        test::LocalHttpServer server({200, UpdaterBytes()});
        ASSERT_NE(Open(AutoUpdate("1"), server.Url(kUpdaterPath)), nullptr);
        // The second arrives before the window's loop has taken the quit.
        EXPECT_TRUE(Update().empty());
        EXPECT_EQ(::SendMessageW(m_hWnd, WM_UPDATE_FOUND, 0, 0), 1);
        EXPECT_EQ(test::TakeQuitMessage(), -1) << "back to back: a second quit";
        EXPECT_EQ(server.Requests().size(), 1u) << "back to back";
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
        test::LocalHttpServer server({404, "gone"});
        ASSERT_NE(Open(AutoUpdate(b.setting), server.Url(kUpdaterPath)), nullptr);
        LRESULT nested = 0;
        bool sent = false;
        test::BoxAnswerer answerer({{kUpdateCaption, b.answer}}, [&] {
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
        EXPECT_EQ(server.Requests().size(), b.requests) << b.box;
        EXPECT_EQ(test::TakeQuitMessage(), b.quit) << b.box;
        Close();
    }
}

TEST(UpdaterFetch, ReportsWhyAFetchFailedAndKeepsWhatWasThere)
{
    const app::FetchedFileCheck kAnyFile = [](const std::wstring&) { return true; };
    test::TempDir folder;
    const std::wstring target = folder.Path(L"ZantoVkUpdate.exe");
    ASSERT_TRUE(test::WriteFileBytes(target, "the updater that was there"));
    const struct {
        test::HttpReply reply;
        app::FetchResult expected;
    } cases[] = {
        {{404, "missing"}, app::FetchResult::BadStatus},
        {{206, "partial"}, app::FetchResult::BadStatus},
        {{200, "12345", 10}, app::FetchResult::Incomplete},
        {{200, "12345", -1, true}, app::FetchResult::Incomplete},
    };
    for (const auto& c : cases) {
        test::LocalHttpServer server(c.reply);
        EXPECT_EQ(app::FetchUpdater(server.Url(L"/u.exe"), target, kAnyFile), c.expected)
            << "status " << c.reply.status;
        EXPECT_EQ(test::ReadFileBytes(target), "the updater that was there");
    }
    EXPECT_EQ(app::FetchUpdater(L"ftp://127.0.0.1/u.exe", target, kAnyFile),
              app::FetchResult::BadAddress);
    EXPECT_EQ(app::FetchUpdater(L"not an address", target, kAnyFile), app::FetchResult::BadAddress);
    EXPECT_EQ(app::FetchUpdater(L"http://127.0.0.1:1/u.exe", target, kAnyFile),
              app::FetchResult::NoConnection);
    EXPECT_EQ(test::ReadFileBytes(target), "the updater that was there");

    // Chunks carry no length to check the body against: under Wine a body that lost its last
    // chunk reads as cleanly to its end as a whole one, so neither is taken.
    for (const bool lastChunk : {false, true}) {
        test::HttpReply chunks{200, std::string(5000, 'x')};
        chunks.chunked = true;
        chunks.chunkedEnd = lastChunk;
        test::LocalHttpServer server(chunks);
        EXPECT_EQ(app::FetchUpdater(server.Url(L"/u.exe"), target, kAnyFile),
                  app::FetchResult::Incomplete)
            << (lastChunk ? "all chunks" : "chunks without the last one");
        EXPECT_EQ(test::ReadFileBytes(target), "the updater that was there");
    }

    test::LocalHttpServer server({200, "new updater"});
    std::string checked;
    const auto refuse = [&](const std::wstring& file) {
        checked = file == target ? "(the target itself)" : test::ReadFileBytes(file);
        return false;
    };
    EXPECT_EQ(app::FetchUpdater(server.Url(L"/u.exe"), target, refuse), app::FetchResult::Refused);
    EXPECT_EQ(checked, "new updater") << "the whole file is checked before it takes the name";
    EXPECT_EQ(test::ReadFileBytes(target), "the updater that was there");

    EXPECT_EQ(app::FetchUpdater(server.Url(L"/u.exe?from=test"), target, kAnyFile),
              app::FetchResult::Saved);
    EXPECT_EQ(test::ReadFileBytes(target), "new updater");
    EXPECT_EQ(server.Requests().back(), "GET /u.exe?from=test HTTP/1.1");
    ::DeleteFileW(target.c_str());
    EXPECT_TRUE(::RemoveDirectoryW(folder.Path().c_str())) << "a temporary file was left";
}
