#pragma once
// A slim lock on SRWLOCK, so the code builds with either MinGW thread model.
// Not recursive: never hold it across a call that can come back in.
#include "base/Win.h"

class Lock {
public:
    Lock() noexcept = default;
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;
    void Acquire() noexcept { ::AcquireSRWLockExclusive(&m_lock); }
    void ReleaseLock() noexcept { ::ReleaseSRWLockExclusive(&m_lock); }
    // Releases the lock while it waits for the condition, and holds it again on return. The
    // slim lock and condition variable wait in user mode; under Wine the C++ runtime's
    // (winpthreads) takes a trip through the Wine server for every wait and wake.
    void Wait(CONDITION_VARIABLE& condition) noexcept
    {
        ::SleepConditionVariableSRW(&condition, &m_lock, INFINITE, 0);
    }

private:
    SRWLOCK m_lock = SRWLOCK_INIT;
};

class LockGuard {
public:
    explicit LockGuard(Lock& lock) noexcept : m_lock(lock) { m_lock.Acquire(); }
    LockGuard(const LockGuard&) = delete;
    LockGuard& operator=(const LockGuard&) = delete;
    ~LockGuard() { m_lock.ReleaseLock(); }

private:
    Lock& m_lock;
};

// Releases a held lock for the length of a scope and takes it again at its end: for a call made
// unlocked in the middle of a locked stretch.
class ScopedUnlock {
public:
    explicit ScopedUnlock(Lock& lock) noexcept : m_lock(lock) { m_lock.ReleaseLock(); }
    ScopedUnlock(const ScopedUnlock&) = delete;
    ScopedUnlock& operator=(const ScopedUnlock&) = delete;
    ~ScopedUnlock() { m_lock.Acquire(); }

private:
    Lock& m_lock;
};
