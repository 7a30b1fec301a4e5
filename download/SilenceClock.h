#pragma once
// The transfer's own clock for a server that keeps it waiting. From the moment the transfer last
// began to wait on the server (its request sent, its headers or a whole piece of the body in)
// the server has the limit to answer the step or bring the next whole piece. WinHTTP's
// time-outs restart with every byte that arrives, so a server that trickles a byte now and then
// never lets one run out; this clock counts only what moves the transfer on. Used by the thread
// of the transfer's notification only.
#include "base/Win.h"

#include <algorithm>
#include <cstdint>

namespace download {

class SilenceClock {
public:
    explicit SilenceClock(DWORD limitMs = 0) noexcept : m_limitMs(limitMs) {}

    // The transfer starts to wait anew.
    void Restart() noexcept
    {
        m_since = ::GetTickCount64();
        m_bytes = 0;
    }
    // Body bytes in: a whole piece of them since the last restart starts the wait anew.
    void Count(uint64_t bytes, uint64_t piece) noexcept
    {
        m_bytes += bytes;
        if (m_bytes >= piece)
            Restart();
    }
    // True once the server has had its time.
    [[nodiscard]] bool RanOut() const noexcept { return Elapsed() > m_limitMs; }
    // What is left of it for the next wait, at least 1 ms: 0 would be no bound to WinHTTP.
    [[nodiscard]] DWORD Left() const noexcept
    {
        return static_cast<DWORD>(
            std::max<ULONGLONG>(1, m_limitMs - std::min<ULONGLONG>(Elapsed(), m_limitMs)));
    }

private:
    [[nodiscard]] ULONGLONG Elapsed() const noexcept { return ::GetTickCount64() - m_since; }

    DWORD m_limitMs;
    ULONGLONG m_since = ::GetTickCount64();
    uint64_t m_bytes = 0;
};

} // namespace download
