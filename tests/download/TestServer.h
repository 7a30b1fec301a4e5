#pragma once
// The download tests' side of the loopback servers (test_server.py, started by CTest before
// them), and a recorder for the events of transfers started straight on the engine.
#include "base/Win.h"
#include "download/HttpTransfer.h"

#include <cstdint>
#include <string>
#include <vector>

namespace test {

struct ServerPorts {
    int http = 0;
    int https = 0;
    int nginx = 0;
};
// The running servers; the ports are 0 when CTest did not start them.
[[nodiscard]] const ServerPorts& Servers();
// The servers' folder as a Windows path, ending with '\' (nginx serves its www folder).
[[nodiscard]] std::wstring ServerFolder();

// A path prefix of this test's own, so that the server's records of tests running side by side
// stay apart.
[[nodiscard]] std::string UniqueToken();
// http://127.0.0.1:<port>/<token>/<mode>/<size>[/<extra>]: the server's answer is chosen by mode.
[[nodiscard]] std::wstring CaseUrl(const std::string& token, const std::string& mode, uint64_t size,
                                   int64_t extra = -1, bool tls = false);

// Bytes first..end-1 of every file the server makes up.
[[nodiscard]] std::string PatternBytes(uint64_t first, uint64_t end);

// The raw heads of the requests the server received under the token, in order.
[[nodiscard]] std::vector<std::string> RecordedRequests(const std::string& token);
// Every "Range:" line of a raw request head, CR LF included.
[[nodiscard]] std::vector<std::string> RangeLines(const std::string& head);
// How many TLS client hellos the https server has seen so far.
[[nodiscard]] int TlsHelloCount();

// Records every event of a transfer started with StartDownload, keyed by the transfer's task id.
class TransferProbe {
public:
    struct Event {
        int32_t code;
        uint64_t offset;
        uint64_t received;
        uint64_t total;
    };
    TransferProbe();
    TransferProbe(const TransferProbe&) = delete;
    TransferProbe& operator=(const TransferProbe&) = delete;
    ~TransferProbe();

    [[nodiscard]] uint64_t Id() const noexcept { return m_id; }
    static void CallBack(int32_t event, const DOWNLOADINFO& transfer) noexcept;
    // Waits for the end event (finished, failed or paused); false after timeoutMs.
    [[nodiscard]] bool WaitForEnd(DWORD timeoutMs = 15000);
    // Waits until the first progress event has arrived.
    [[nodiscard]] bool WaitForProgress(DWORD timeoutMs = 15000);
    [[nodiscard]] std::vector<Event> Events();
    // The end event's code; 0 when the transfer has not ended.
    [[nodiscard]] int32_t EndCode();
    [[nodiscard]] size_t EndEventCount();

    int32_t command = 0; // the pause request the transfer watches

private:
    void Record(const Event& event) noexcept;

    uint64_t m_id;
    UniqueHandle m_ended;
    UniqueHandle m_progressed;
    std::vector<Event> m_events;
    SRWLOCK m_lock = SRWLOCK_INIT;
};

// Starts a transfer straight on the engine with the probe as its task callback.
[[nodiscard]] bool StartProbedTransfer(TransferProbe& probe, const std::wstring& url,
                                       const std::wstring& path);

} // namespace test
