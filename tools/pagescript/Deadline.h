#pragma once
// The run's time limit, kept by a thread of its own so that it holds whatever the page's thread
// is doing: running a long statement, waiting in a bridge call or in a modal loop. At the limit
// it reports the timeout, asks the script engine to stop the running script and wakes the
// page's thread; should that thread still not come back within a grace period (a bridge call
// that does not return, an engine that cannot be interrupted), it ends the process itself.
#include "base/Unique.h"
#include "base/Win.h"

#include <atomic>

namespace pagescript {

class Deadline {
public:
    // Asks the engine to stop the running script; true when the engine took the request.
    using Interrupt = bool (*)(void* context) noexcept;

    Deadline(DWORD limitSeconds, int exitCode, Interrupt interrupt, void* context) noexcept;
    Deadline(const Deadline&) = delete;
    Deadline& operator=(const Deadline&) = delete;
    // Stops the clock; the process is no longer ended from here.
    ~Deadline();

    // Starts the clock; false when the thread cannot be made.
    [[nodiscard]] bool Start() noexcept;
    // The run has ended by itself. False when the limit came first: the run timed out.
    [[nodiscard]] bool Finish() noexcept;
    [[nodiscard]] bool Expired() const noexcept { return m_state == State::Expired; }

private:
    enum class State { Running, Finished, Expired };
    static DWORD WINAPI Watch(void* self) noexcept;
    void Expire() noexcept;

    DWORD m_nLimitSeconds;
    int m_nExitCode;
    Interrupt m_interrupt;
    void* m_pContext;
    DWORD m_dwPageThread;
    std::atomic<State> m_state{State::Running};
    UniqueHandle m_hStop;
    UniqueHandle m_hThread;
};

} // namespace pagescript
