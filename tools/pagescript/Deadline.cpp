#include "tools/pagescript/Deadline.h"

#include "tools/pagescript/Console.h"

namespace pagescript {
namespace {

// How long an interrupted script may take to unwind before the process is ended. An engine
// stops at its next statement, well within this.
constexpr DWORD kGraceMs = 2000;

} // namespace

Deadline::Deadline(DWORD limitSeconds, int exitCode, Interrupt interrupt, void* context) noexcept
    : m_nLimitSeconds(limitSeconds), m_nExitCode(exitCode), m_interrupt(interrupt),
      m_pContext(context), m_dwPageThread(::GetCurrentThreadId()),
      m_hStop(::CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
}

Deadline::~Deadline()
{
    if (m_hThread) {
        ::SetEvent(m_hStop.Get());
        ::WaitForSingleObject(m_hThread.Get(), INFINITE);
    }
}

bool Deadline::Start() noexcept
{
    if (!m_hStop)
        return false;
    m_hThread.Reset(::CreateThread(nullptr, 0, &Watch, this, 0, nullptr));
    return static_cast<bool>(m_hThread);
}

bool Deadline::Finish() noexcept
{
    State running = State::Running;
    return m_state.compare_exchange_strong(running, State::Finished) || running == State::Finished;
}

DWORD WINAPI Deadline::Watch(void* self) noexcept
{
    auto& deadline = *static_cast<Deadline*>(self);
    if (::WaitForSingleObject(deadline.m_hStop.Get(), deadline.m_nLimitSeconds * 1000) ==
        WAIT_TIMEOUT)
        deadline.Expire();
    return 0;
}

void Deadline::Expire() noexcept
{
    State running = State::Running;
    if (!m_state.compare_exchange_strong(running, State::Expired))
        return; // the run ended first
    // The longest line, with the largest limit, and its NUL.
    constexpr size_t kMessageCapacity = 48;
    wchar_t message[kMessageCapacity];
    ::wsprintfW(message, L"pagescript: timed out after %lu s", m_nLimitSeconds);
    WriteErrorLine(message);
    const bool interrupted = m_interrupt(m_pContext);
    // Wakes the page's thread where it waits for messages, so that it sees the limit.
    ::PostThreadMessageW(m_dwPageThread, WM_NULL, 0, 0);
    if (interrupted && ::WaitForSingleObject(m_hStop.Get(), kGraceMs) == WAIT_OBJECT_0)
        return;
    // The page's thread is held where no request reaches it: the limit holds all the same.
    ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(m_nExitCode));
}

} // namespace pagescript
