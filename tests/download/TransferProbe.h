#pragma once
// Records the events of transfers started straight on the engine, against the loopback servers
// (tests/support/LoopbackServer.h).
#include "base/Win.h"
#include "download/HttpTransfer.h"

#include <cstdint>
#include <string>
#include <vector>

namespace test {

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

// Starts a transfer straight on the engine with the probe as its task callback; transfers given
// the same validator resume as one task.
[[nodiscard]] bool StartProbedTransfer(TransferProbe& probe, const std::wstring& url,
                                       const std::wstring& path,
                                       download::ResumeValidator* validator = nullptr);

} // namespace test
