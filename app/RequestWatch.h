#pragma once
// Ends a synchronous WinHTTP request when one of its waits runs past a limit of the tool's own
// clock. WinHTTP's own time-outs restart with every byte that arrives, so a server that drips its
// headers or its body a byte at a time would hold a blocked call for ever. Each wait therefore
// runs under a thread-pool timer; when it fires, it closes the request handle from outside the
// call, which ends the call on Windows. Wine 8 lets a call go on over a closed handle, but reads
// each byte under the request's current time-outs, so the timer first cuts those to a
// millisecond: the next byte's wait ends the call. A server that sends nothing at all is bounded
// by the same limit handed to WinHTTP before each wait. Owned by the thread that makes the calls
// (the UI thread); only the timer's callback runs on a pool thread.
#include "base/WinHttp.h"

#include <atomic>

namespace app {

class RequestWatch {
public:
    enum class Outcome { Done, Failed, TimedOut };

    // Takes over the request. Each wait is bounded by `stepMs`, or by what is left of `wholeMs`
    // (counted from now) when that is less.
    RequestWatch(UniqueInternet request, DWORD stepMs, DWORD wholeMs) noexcept;
    ~RequestWatch();
    RequestWatch(const RequestWatch&) = delete;
    RequestWatch& operator=(const RequestWatch&) = delete;

    // False when no timer could be made: the request cannot be bounded and must not be made.
    explicit operator bool() const noexcept { return static_cast<bool>(m_timer); }

    // Runs call(request), a WinHTTP call that may block, within the next wait's limit. Failed
    // leaves the call's error as the last error; once a wait has timed out the request is
    // closed, and every later wait times out at once.
    template <class Call>
    [[nodiscard]] Outcome Wait(Call&& call) noexcept
    {
        if (!Arm())
            return Outcome::TimedOut;
        const bool done = call(m_request);
        const DWORD error = done ? ERROR_SUCCESS : ::GetLastError();
        if (!Disarm())
            return Outcome::TimedOut;
        ::SetLastError(error);
        return done ? Outcome::Done : Outcome::Failed;
    }

    // The request, for calls that do not wait (its headers); only after a wait that did not
    // time out.
    [[nodiscard]] HINTERNET Request() const noexcept { return m_request; }

private:
    using UniqueTimer = Unique<NullIsEmpty<PTP_TIMER, &::CloseThreadpoolTimer>>;

    static void CALLBACK OnExpired(PTP_CALLBACK_INSTANCE, void* context, PTP_TIMER) noexcept;
    [[nodiscard]] bool Arm() noexcept;
    // Stops the timer and waits for a callback that is already running; false when it ran.
    [[nodiscard]] bool Disarm() noexcept;

    // Closed exactly once: by the timer's callback, or by the destructor when that never ran. A
    // callback that fires just before a call starts leaves the call a closed handle, which
    // WinHTTP refuses at once; the value cannot name another request meanwhile, since the
    // program opens WinHTTP handles on the UI thread only, which is making this call.
    HINTERNET m_request;
    const DWORD m_stepMs;
    const ULONGLONG m_end;
    std::atomic<bool> m_bExpired{false};
    UniqueTimer m_timer;
};

} // namespace app
