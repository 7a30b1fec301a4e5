#include "archive/ParallelExtraction.h"

#include "archive/ZipExtractor.h"

#include "base/Lock.h"
#include "base/Win.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace archive {

namespace {

constexpr unsigned kMostWorkers = 4;
// How far planning may run ahead of placing: enough to keep every worker busy past a large
// entry, few enough that what waits in between (a plan and an open file each) stays small.
constexpr std::int32_t kWindow = 64;

ExtractionOutcome ExtractInTurn(ZipExtractor& extractor, std::int32_t count) noexcept
{
    ZipEntryInfo entry;
    for (std::int32_t i = 0; i < count; ++i) {
        ExtractResult result = extractor.GetEntry(i, entry);
        if (result == ExtractResult::Ok)
            result = extractor.ExtractEntry(i, entry.name);
        if (result != ExtractResult::Ok)
            return {result, i};
    }
    return {};
}

// One entry between its plan and its placing.
struct Slot {
    enum class State { Free, Waiting, Writing, Done };
    State state = State::Free;
    EntryPlan plan;
    OutputFile file;
    ExtractResult result = ExtractResult::Ok;
};

// The workers and the window of entries in flight. The lock guards the slots' states and the
// counters; a slot's plan and file belong to whoever moved it out of Waiting (a worker) or
// found it Done (the calling thread), and are used unlocked. No lock is held across a call
// into the file system or the archive.
class ParallelRun {
public:
    ParallelRun(ZipExtractor& extractor, std::int32_t count)
        : m_extractor(extractor), m_count(count), m_slots(new Slot[kWindow])
    {
    }
    ParallelRun(const ParallelRun&) = delete;
    ParallelRun& operator=(const ParallelRun&) = delete;
    ~ParallelRun() { StopWorkers(); }

    // False when not one worker could be started.
    [[nodiscard]] bool StartWorkers(unsigned workers);
    [[nodiscard]] ExtractionOutcome Run() noexcept;

private:
    struct Worker {
        std::unique_ptr<ArchiveFile> archive;
        std::unique_ptr<EntryWriter> writer;
        std::thread thread;
    };

    Slot& SlotFor(std::int32_t index) noexcept { return m_slots[index % kWindow]; }
    void Work(EntryWriter& writer) noexcept;
    [[nodiscard]] bool HasWork() noexcept;
    [[nodiscard]] bool CanPlan() const noexcept;
    // Called with the lock held, which they let go of while they work.
    void PlanNext() noexcept;
    [[nodiscard]] bool PlaceReady() noexcept;
    void StopWorkers() noexcept;

    ZipExtractor& m_extractor;
    const std::int32_t m_count;
    std::unique_ptr<Slot[]> m_slots;
    std::vector<Worker> m_workers;
    Lock m_lock;
    CONDITION_VARIABLE m_workReady = CONDITION_VARIABLE_INIT;   // a slot is Waiting, or m_stop
    CONDITION_VARIABLE m_resultReady = CONDITION_VARIABLE_INIT; // a slot is Done
    std::atomic<bool> m_stop{false}; // also read by writers between chunks
    std::int32_t m_planned = 0;      // entries planned: the next one to plan
    std::int32_t m_placed = 0;       // entries placed: the next one to place
    std::int32_t m_nextTake = 0;     // no Waiting slot comes before this entry
    bool m_planningEnded = false;    // an entry failed its plan
    bool m_roomAwaited = false;      // the next entry waits for those in flight to be placed
    ExtractionOutcome m_outcome;
};

bool ParallelRun::StartWorkers(unsigned workers)
{
    m_workers.reserve(workers);
    for (unsigned i = 0; i < workers; ++i) {
        Worker worker;
        worker.archive = m_extractor.OpenArchiveAgain();
        if (!worker.archive)
            break;
        worker.writer = std::make_unique<EntryWriter>(*worker.archive);
        try {
            worker.thread = std::thread(&ParallelRun::Work, this, std::ref(*worker.writer));
        } catch (...) {
            break; // no more threads: go on with those there are
        }
        m_workers.push_back(std::move(worker));
    }
    return !m_workers.empty();
}

void ParallelRun::StopWorkers() noexcept
{
    {
        LockGuard held(m_lock);
        m_stop = true;
    }
    ::WakeAllConditionVariable(&m_workReady);
    for (Worker& worker : m_workers) {
        if (worker.thread.joinable())
            worker.thread.join();
    }
}

void ParallelRun::Work(EntryWriter& writer) noexcept
{
    LockGuard held(m_lock);
    for (;;) {
        while (!m_stop && !HasWork())
            m_lock.Wait(m_workReady);
        if (m_stop)
            return;
        Slot& slot = SlotFor(m_nextTake++);
        slot.state = Slot::State::Writing;
        {
            ScopedUnlock unlocked(m_lock);
            slot.result = writer.Write(slot.plan, slot.file, &m_stop);
        }
        slot.state = Slot::State::Done;
        ::WakeConditionVariable(&m_resultReady);
    }
}

bool ParallelRun::HasWork() noexcept
{
    // Entries before the next one to place are all done, whatever slot they had.
    m_nextTake = std::max(m_nextTake, m_placed);
    while (m_nextTake < m_planned && SlotFor(m_nextTake).state != Slot::State::Waiting)
        ++m_nextTake;
    return m_nextTake < m_planned;
}

bool ParallelRun::CanPlan() const noexcept
{
    if (m_roomAwaited && m_placed < m_planned)
        return false;
    return !m_planningEnded && m_planned < m_count && m_planned - m_placed < kWindow;
}

void ParallelRun::PlanNext() noexcept
{
    // The slot is free: its last entry lies a whole window back, before the next to place.
    const std::int32_t index = m_planned;
    Slot& slot = SlotFor(index);
    ExtractResult result = ExtractResult::Ok;
    {
        ScopedUnlock unlocked(m_lock);
        ZipEntryInfo entry;
        result = m_extractor.GetEntry(index, entry);
        if (result == ExtractResult::Ok)
            result = m_extractor.PlanEntry(index, entry.name, slot.plan);
    }
    // The entries in flight free the room of the earlier copies they replace only once placed:
    // an entry that finds no room asks again when they are, and so ends as it would entry
    // after entry.
    m_roomAwaited = result == ExtractResult::NoSpace && m_placed < index;
    if (m_roomAwaited)
        return;
    slot.result = result;
    const bool toWrite = result == ExtractResult::Ok && !slot.plan.directory;
    slot.state = toWrite ? Slot::State::Waiting : Slot::State::Done;
    // The walk ends at a failing entry, as it would entry after entry.
    m_planningEnded = result != ExtractResult::Ok;
    ++m_planned;
    if (toWrite)
        ::WakeConditionVariable(&m_workReady);
}

bool ParallelRun::PlaceReady() noexcept
{
    while (m_placed < m_planned && SlotFor(m_placed).state == Slot::State::Done) {
        Slot& slot = SlotFor(m_placed);
        ExtractResult result = slot.result;
        {
            ScopedUnlock unlocked(m_lock);
            if (result == ExtractResult::Ok)
                result = m_extractor.PlaceEntry(slot.plan, slot.file);
            slot.file.Discard();
        }
        slot.state = Slot::State::Free;
        if (result != ExtractResult::Ok) {
            m_outcome = {result, m_placed};
            return true;
        }
        ++m_placed;
    }
    return m_placed == m_count;
}

ExtractionOutcome ParallelRun::Run() noexcept
{
    {
        LockGuard held(m_lock);
        for (;;) {
            if (PlaceReady())
                break;
            if (CanPlan()) {
                PlanNext();
                continue;
            }
            // The next entry to place is with a worker.
            while (SlotFor(m_placed).state != Slot::State::Done)
                m_lock.Wait(m_resultReady);
        }
    }
    // Workers give up what they write now; their files go with the slots.
    StopWorkers();
    return m_outcome;
}

} // namespace

unsigned DefaultWorkerCount() noexcept
{
    return std::clamp(std::thread::hardware_concurrency(), 1u, kMostWorkers);
}

ExtractionOutcome ExtractEveryEntry(ZipExtractor& extractor, unsigned workers) noexcept
{
    const std::int32_t count = extractor.EntryCount();
    workers = std::min({workers, kMostWorkers, static_cast<unsigned>(count)});
    if (workers < 1 || count < 2)
        return ExtractInTurn(extractor, count);
    try {
        ParallelRun run(extractor, count);
        if (!run.StartWorkers(workers))
            return ExtractInTurn(extractor, count);
        return run.Run();
    } catch (...) {
        return {ExtractResult::WriteFailed, -1}; // no memory for the slots
    }
}

} // namespace archive
