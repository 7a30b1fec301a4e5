#include "tests/download/TransferProbe.h"

#include "base/Lock.h"

#include <atomic>
#include <map>

namespace test {
namespace {

Lock g_probesLock;
std::map<uint64_t, TransferProbe*> g_probes;

} // namespace

TransferProbe::TransferProbe()
    : m_ended(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      m_progressed(::CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
    static std::atomic<uint64_t> next{0x7E57000000000000ull};
    m_id = next++;
    LockGuard lock(g_probesLock);
    g_probes[m_id] = this;
}

TransferProbe::~TransferProbe()
{
    LockGuard lock(g_probesLock);
    g_probes.erase(m_id);
}

void TransferProbe::CallBack(int32_t event, const DOWNLOADINFO& transfer) noexcept
{
    LockGuard lock(g_probesLock);
    auto it = g_probes.find(transfer.ullTaskId);
    if (it != g_probes.end())
        it->second->Record({event, transfer.ullOffset, transfer.ullReceived, transfer.ullTotal});
}

void TransferProbe::Record(const Event& event) noexcept
{
    ::AcquireSRWLockExclusive(&m_lock);
    try {
        m_events.push_back(event);
    } catch (...) {
    }
    ::ReleaseSRWLockExclusive(&m_lock);
    if (event.code == download::kEventProgress)
        ::SetEvent(m_progressed.Get());
    else
        ::SetEvent(m_ended.Get());
}

bool TransferProbe::WaitForEnd(DWORD timeoutMs)
{
    return ::WaitForSingleObject(m_ended.Get(), timeoutMs) == WAIT_OBJECT_0;
}

bool TransferProbe::WaitForProgress(DWORD timeoutMs)
{
    HANDLE either[] = {m_progressed.Get(), m_ended.Get()};
    return ::WaitForMultipleObjects(2, either, FALSE, timeoutMs) == WAIT_OBJECT_0;
}

std::vector<TransferProbe::Event> TransferProbe::Events()
{
    ::AcquireSRWLockExclusive(&m_lock);
    std::vector<Event> copy = m_events;
    ::ReleaseSRWLockExclusive(&m_lock);
    return copy;
}

int32_t TransferProbe::EndCode()
{
    for (const Event& event : Events()) {
        if (event.code != download::kEventProgress)
            return event.code;
    }
    return 0;
}

size_t TransferProbe::EndEventCount()
{
    size_t count = 0;
    for (const Event& event : Events())
        count += event.code != download::kEventProgress ? 1 : 0;
    return count;
}

bool StartProbedTransfer(TransferProbe& probe, const std::wstring& url, const std::wstring& path,
                         download::ResumeValidator* validator)
{
    return StartDownload(url.c_str(), path.c_str(), probe.Id(), &TransferProbe::CallBack,
                         &probe.command, validator);
}

} // namespace test
