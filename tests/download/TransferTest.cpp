// The transfer engine against the loopback servers: what it asks for, what it writes and which
// events it reports, for each kind of answer a server can give.
#include "download/TaskMap.h"
#include "tests/download/TransferProbe.h"
#include "tests/support/Files.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

namespace {

constexpr uint64_t kFileSize = 40960;

struct Outcome {
    int32_t end = 0;
    size_t endEvents = 0;
    std::vector<test::TransferProbe::Event> events;
    std::string file;
};

class Transfer : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(test::Servers().http, 0)
            << "the test servers are not running (CTest starts them)";
        m_token = test::UniqueToken();
        m_path = m_dir.Path(L"file.bin");
    }

    // Runs one transfer to its end; the file is read afterwards.
    Outcome Fetch(const std::wstring& url)
    {
        test::TransferProbe probe;
        EXPECT_TRUE(test::StartProbedTransfer(probe, url, m_path)) << "the transfer did not start";
        EXPECT_TRUE(probe.WaitForEnd()) << "no end event within 15 s for " << test::Utf8(url);
        return {probe.EndCode(), probe.EndEventCount(), probe.Events(),
                test::ReadFileBytes(m_path)};
    }
    std::wstring Url(const std::string& mode, uint64_t size = kFileSize, int64_t extra = -1)
    {
        return test::CaseUrl(m_token, mode, size, extra);
    }
    void WriteLocal(std::string_view bytes) { ASSERT_TRUE(test::WriteFileBytes(m_path, bytes)); }
    std::vector<std::string> Requests() { return test::RecordedRequests(m_token); }

    test::TempDir m_dir;
    std::string m_token;
    std::wstring m_path;
};

size_t ProgressCount(const Outcome& outcome)
{
    size_t count = 0;
    for (const auto& event : outcome.events)
        count += event.code == download::kEventProgress ? 1 : 0;
    return count;
}

using FreshDownload = Transfer;
using ResumeDownload = Transfer;
using FailedDownload = Transfer;
using DownloadRequest = Transfer;
using PausedTransfer = Transfer;

} // namespace

TEST_F(FreshDownload, WritesTheWholeBodyWithoutAskingForARange)
{
    const Outcome outcome = Fetch(Url("file"));
    EXPECT_EQ(outcome.end, download::kEventFinished);
    EXPECT_EQ(outcome.endEvents, 1u);
    EXPECT_TRUE(outcome.file == test::PatternBytes(0, kFileSize))
        << "the file differs from the source";
    ASSERT_EQ(ProgressCount(outcome), kFileSize / download::kChunkSize);
    const auto& last = outcome.events[outcome.events.size() - 2];
    EXPECT_EQ(last.offset + last.received, kFileSize);
    EXPECT_EQ(last.total, kFileSize);
    const auto requests = Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_TRUE(test::RangeLines(requests[0]).empty()) << requests[0];
    EXPECT_NE(requests[0].find("User-Agent: MSIE\r\n"), std::string::npos) << requests[0];
}

TEST_F(ResumeDownload, AsksForTheRestFromTheLengthOnDiskAndAppendsIt)
{
    WriteLocal(test::PatternBytes(0, 1000));
    const Outcome outcome = Fetch(Url("file"));
    EXPECT_EQ(outcome.end, download::kEventFinished);
    EXPECT_TRUE(outcome.file == test::PatternBytes(0, kFileSize))
        << "the file differs from the source";
    ASSERT_FALSE(outcome.events.empty());
    EXPECT_EQ(outcome.events[0].offset, 1000u);
    EXPECT_EQ(outcome.events[0].total, kFileSize) << "the total counts the bytes already on disk";
    const auto requests = Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(test::RangeLines(requests[0]), std::vector<std::string>{"Range: bytes=1000-\r\n"});
}

TEST_F(ResumeDownload, AgainstNginxTheFileEndsIdentical)
{
    ASSERT_NE(test::Servers().nginx, 0);
    const std::string source = test::ReadFileBytes(test::ServerFolder() + L"www\\nginx.bin");
    ASSERT_EQ(source.size(), kFileSize);
    WriteLocal(source.substr(0, 12345));
    const Outcome outcome =
        Fetch(L"http://127.0.0.1:" + std::to_wstring(test::Servers().nginx) + L"/nginx.bin");
    EXPECT_EQ(outcome.end, download::kEventFinished);
    EXPECT_TRUE(outcome.file == source) << "the file differs from nginx's";
}

TEST_F(ResumeDownload, ACompleteFileFinishesAtOnceAndNo416BodyIsWritten)
{
    // nginx answers 416 with an HTML page; the Python server once without a body, once with one.
    const std::string source = test::ReadFileBytes(test::ServerFolder() + L"www\\nginx.bin");
    const std::wstring nginxUrl =
        L"http://127.0.0.1:" + std::to_wstring(test::Servers().nginx) + L"/nginx.bin";
    const std::pair<std::wstring, std::string> cases[] = {
        {Url("file"), test::PatternBytes(0, kFileSize)},
        {Url("file416body"), test::PatternBytes(0, kFileSize)},
        {nginxUrl, source},
    };
    for (const auto& [url, content] : cases) {
        WriteLocal(content);
        const Outcome outcome = Fetch(url);
        EXPECT_EQ(outcome.end, download::kEventFinished) << test::Utf8(url);
        EXPECT_EQ(outcome.events.size(), 1u) << "only the finished event: " << test::Utf8(url);
        EXPECT_TRUE(outcome.file == content) << "the file changed: " << test::Utf8(url);
    }
}

TEST_F(ResumeDownload, AServerThatIgnoresTheRangeGetsTheFileRewrittenFromItsStart)
{
    WriteLocal(std::string(1000, 'x'));
    const Outcome outcome = Fetch(Url("ignorerange"));
    EXPECT_EQ(outcome.end, download::kEventFinished);
    EXPECT_EQ(outcome.file.size(), kFileSize) << "the body was appended to the old bytes";
    EXPECT_TRUE(outcome.file == test::PatternBytes(0, kFileSize));
    ASSERT_FALSE(outcome.events.empty());
    EXPECT_EQ(outcome.events.back().offset, 0u);
    EXPECT_EQ(outcome.events.back().total, kFileSize);
    EXPECT_EQ(test::RangeLines(Requests().at(0)),
              std::vector<std::string>{"Range: bytes=1000-\r\n"});
}

TEST_F(ResumeDownload, AnswersThatDoNotContinueTheFileFailAndChangeNothing)
{
    // A 206 that starts 100 bytes late; a 416 whose total is not the length on disk.
    const std::string partial = test::PatternBytes(0, 1000);
    WriteLocal(partial);
    Outcome outcome = Fetch(Url("wrongoffset", kFileSize, 100));
    EXPECT_EQ(outcome.end, download::kEventFailed);
    EXPECT_EQ(outcome.events.size(), 1u);
    EXPECT_TRUE(outcome.file == partial) << "a misplaced body reached the file";

    const std::string longer = test::PatternBytes(0, 5000);
    WriteLocal(longer);
    outcome = Fetch(Url("file", 4000));
    EXPECT_EQ(outcome.end, download::kEventFailed) << "a file longer than the server's finished";
    EXPECT_TRUE(outcome.file == longer);
}

TEST_F(FailedDownload, ErrorStatusesFailAndTheFileKeepsItsBytes)
{
    const std::string partial = test::PatternBytes(0, 1000);
    for (const int status : {404, 500}) {
        WriteLocal(partial);
        const Outcome outcome = Fetch(Url("status", 10, status));
        EXPECT_EQ(outcome.end, download::kEventFailed) << status;
        EXPECT_EQ(outcome.events.size(), 1u) << "no progress for status " << status;
        EXPECT_TRUE(outcome.file == partial) << "status " << status << " changed the file";
    }
}

TEST_F(FailedDownload, ABodyCutShortFailsKeepsWhatArrivedAndAResumeCompletesIt)
{
    constexpr uint64_t kDropAt = 10000;
    Outcome outcome = Fetch(Url("drop", kFileSize, kDropAt));
    EXPECT_EQ(outcome.end, download::kEventFailed) << "a dropped connection counted as finished";
    EXPECT_TRUE(outcome.file == test::PatternBytes(0, kDropAt))
        << "kept " << outcome.file.size() << " bytes";

    outcome = Fetch(Url("drop", kFileSize, kDropAt));
    EXPECT_EQ(outcome.end, download::kEventFinished);
    EXPECT_TRUE(outcome.file == test::PatternBytes(0, kFileSize));
    EXPECT_EQ(test::RangeLines(Requests().at(1)),
              std::vector<std::string>{"Range: bytes=10000-\r\n"});

    // A 206 that ends before the total it announces leaves the file short of it as well.
    WriteLocal("");
    outcome = Fetch(Url("part", kFileSize, 5000));
    EXPECT_EQ(outcome.end, download::kEventFailed);
    EXPECT_TRUE(outcome.file == test::PatternBytes(0, 5000));
}

TEST_F(FailedDownload, CertificateErrorsAreNeverIgnored)
{
    // The server's certificate is self-signed and this machine does not trust it.
    const int hellosBefore = test::TlsHelloCount();
    const Outcome outcome = Fetch(test::CaseUrl(m_token, "file", kFileSize, -1, true));
    EXPECT_EQ(outcome.end, download::kEventFailed);
    EXPECT_EQ(outcome.events.size(), 1u);
    EXPECT_TRUE(outcome.file.empty());
    EXPECT_GT(test::TlsHelloCount(), hellosBefore) << "the request did not speak TLS";
}

TEST_F(FailedDownload, AnUnreachableServerFails)
{
    const Outcome outcome = Fetch(L"http://127.0.0.1:1/nothing");
    EXPECT_EQ(outcome.end, download::kEventFailed);
    EXPECT_EQ(outcome.events.size(), 1u);
}

TEST_F(DownloadRequest, WithoutContentLengthTheEndOfTheBodyFinishes)
{
    const Outcome outcome = Fetch(Url("nolength", 15000));
    EXPECT_EQ(outcome.end, download::kEventFinished);
    EXPECT_TRUE(outcome.file == test::PatternBytes(0, 15000));
    for (const auto& event : outcome.events)
        EXPECT_EQ(event.total, 0u) << "a total was made up";
}

TEST_F(DownloadRequest, RedirectsAreFollowed)
{
    const Outcome outcome = Fetch(Url("redirect"));
    EXPECT_EQ(outcome.end, download::kEventFinished);
    EXPECT_TRUE(outcome.file == test::PatternBytes(0, kFileSize));
    EXPECT_EQ(Requests().size(), 2u);
}

TEST_F(DownloadRequest, LongUrlsKeepTheirWholeQueryString)
{
    const std::string query = "?q=" + std::string(6000, 'a') + "&b=2";
    const Outcome outcome = Fetch(Url("file", 4096) + test::Wide(query));
    EXPECT_EQ(outcome.end, download::kEventFinished);
    EXPECT_TRUE(outcome.file == test::PatternBytes(0, 4096));
    const auto requests = Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_NE(requests[0].find(query + " HTTP/1.1\r\n"), std::string::npos) << "the query was cut";
}

TEST_F(DownloadRequest, UrlsThatCannotBeTakenApartFailBeforeTheCallReturns)
{
    const std::wstring urls[] = {L"", L"not a url", L"ftp://127.0.0.1/x",
                                 L"http://" + std::wstring(300, L'h') + L"/x"};
    for (const std::wstring& url : urls) {
        test::TransferProbe probe;
        ASSERT_TRUE(test::StartProbedTransfer(probe, url, m_path)) << test::Utf8(url);
        // Sent on this thread, before StartDownload returned.
        EXPECT_EQ(probe.EndCode(), download::kEventFailed) << test::Utf8(url);
        EXPECT_EQ(probe.Events().size(), 1u);
    }
}

TEST_F(DownloadRequest, AFileThatCannotBeOpenedStartsNothing)
{
    test::TransferProbe probe;
    EXPECT_FALSE(test::StartProbedTransfer(probe, Url("file"), m_dir.Path(L"missing\\file.bin")));
    EXPECT_TRUE(probe.Events().empty());
    EXPECT_TRUE(Requests().empty()) << "a request went out for a file that cannot be written";
}

TEST_F(PausedTransfer, StopsWhileDataFlowsKeepsItsBytesAndTheRestFollowsOnResume)
{
    constexpr uint64_t kSlowSize = 409600;
    const std::wstring url = Url("slow", kSlowSize, 20);
    {
        test::TransferProbe probe;
        ASSERT_TRUE(test::StartProbedTransfer(probe, url, m_path));
        ASSERT_TRUE(probe.WaitForProgress()) << "no progress within 15 s";
        download::WriteCommand(probe.command, download::kCommandPause);
        ASSERT_TRUE(probe.WaitForEnd());
        EXPECT_EQ(probe.EndCode(), download::kEventPaused);
        EXPECT_EQ(probe.EndEventCount(), 1u);
    }
    const std::string kept = test::ReadFileBytes(m_path);
    ASSERT_GT(kept.size(), 0u);
    ASSERT_LT(kept.size(), kSlowSize) << "the pause came after the whole body";
    EXPECT_TRUE(kept == test::PatternBytes(0, kept.size()));

    const Outcome outcome = Fetch(url);
    EXPECT_EQ(outcome.end, download::kEventFinished);
    EXPECT_TRUE(outcome.file == test::PatternBytes(0, kSlowSize));
    EXPECT_EQ(test::RangeLines(Requests().at(1)),
              std::vector<std::string>{"Range: bytes=" + std::to_string(kept.size()) + "-\r\n"});
}

TEST_F(FailedDownload, AFailedWriteFailsTheTransfer)
{
    // Wine maps Z:\dev\full to the Linux device that refuses every write with "disk full".
    test::TransferProbe probe;
    ASSERT_TRUE(test::StartProbedTransfer(probe, Url("file"), L"Z:\\dev\\full"));
    ASSERT_TRUE(probe.WaitForEnd());
    EXPECT_EQ(probe.EndCode(), download::kEventFailed);
    EXPECT_EQ(probe.Events().size(), 1u) << "progress reported for bytes never written";
}
