#include "app/RequestWatch.h"

#include "download/HttpRequest.h"

#include <algorithm>

namespace app {
namespace {

// The shortest time-out WinHTTP takes (0 would mean none).
constexpr DWORD kEndAtOnceMs = 1;

// A relative due time for SetThreadpoolTimer: negative, in 100-nanosecond units.
FILETIME DueIn(ULONGLONG milliseconds) noexcept
{
    constexpr LONGLONG kTicksPerMillisecond = 10'000;
    ULARGE_INTEGER due{};
    due.QuadPart =
        static_cast<ULONGLONG>(-static_cast<LONGLONG>(milliseconds) * kTicksPerMillisecond);
    return {due.LowPart, due.HighPart};
}

} // namespace

RequestWatch::RequestWatch(UniqueInternet request, DWORD stepMs, DWORD wholeMs) noexcept
    : m_request(request.Release()), m_stepMs(stepMs), m_end(::GetTickCount64() + wholeMs),
      m_timer(::CreateThreadpoolTimer(&RequestWatch::OnExpired, this, nullptr))
{
}

RequestWatch::~RequestWatch()
{
    if (Disarm() && m_request)
        (void)::WinHttpCloseHandle(m_request);
}

void CALLBACK RequestWatch::OnExpired(PTP_CALLBACK_INSTANCE, void* context, PTP_TIMER) noexcept
{
    auto* watch = static_cast<RequestWatch*>(context);
    watch->m_bExpired = true;
    // Whichever of the two ends the call that blocks on the handle, on the owner's thread.
    (void)download::SetRequestTimeouts(watch->m_request, kEndAtOnceMs);
    (void)::WinHttpCloseHandle(watch->m_request);
}

bool RequestWatch::Arm() noexcept
{
    const ULONGLONG now = ::GetTickCount64();
    if (!m_timer || m_bExpired || now >= m_end)
        return false;
    // The step's limit, or what is left of the whole: no wait may run past the whole's end.
    const auto wait = static_cast<DWORD>(std::min<ULONGLONG>(m_stepMs, m_end - now));
    if (!download::SetRequestTimeouts(m_request, std::max<DWORD>(wait, kEndAtOnceMs)))
        return false;
    FILETIME due = DueIn(wait);
    ::SetThreadpoolTimer(m_timer.Get(), &due, 0, 0);
    return true;
}

bool RequestWatch::Disarm() noexcept
{
    if (m_timer) {
        ::SetThreadpoolTimer(m_timer.Get(), nullptr, 0, 0);
        ::WaitForThreadpoolTimerCallbacks(m_timer.Get(), TRUE);
    }
    return !m_bExpired;
}

} // namespace app
