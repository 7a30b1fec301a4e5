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
