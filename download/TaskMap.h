#pragma once
// The page's download tasks, keyed by a 64-bit id, for the whole life of the process. The page
// starts and pauses them on the UI thread; the transfer of each running task reports back on
// WinHTTP's threads. g_toolInfosLock guards every lookup, insertion and update of the map.
#include "base/Lock.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <unordered_map>

// The states a task is in, as the page hears them; the transfer's events carry the same numbers.
namespace download {
inline constexpr int32_t kStateDownloading = 1;
inline constexpr int32_t kStateFinished = 2;
inline constexpr int32_t kStateFailed = -1;
inline constexpr int32_t kStatePaused = -100;
// nCommand: nothing asked, or a pause requested by the page.
inline constexpr int32_t kCommandNone = 0;
inline constexpr int32_t kCommandPause = -100;
} // namespace download

struct TOOLINFOS {
    int32_t idHigh = 0;
    int32_t idLow = 0;
    int32_t nState = download::kStateDownloading;
    int64_t llTotal = 0; // size of the whole file, as the last progress event saw it
    int64_t llDone = 0;  // bytes on disk at the last progress event
    int32_t nLastPercent = -1;
    // Read by the running transfer on WinHTTP's threads without the lock, so it is only ever
    // read and written whole (std::atomic_ref).
    int32_t nCommand = download::kCommandNone;
    // The full path of the file the task downloads to: while the task is downloading no other
    // task may start on the same file.
    std::wstring strFile;
};

// Node-based: an entry never moves once created, so a running transfer may keep a pointer to
// its task's nCommand. Entries stay until the process ends.
using ToolInfoMap = std::unordered_map<uint64_t, TOOLINFOS>;
extern ToolInfoMap& g_mapToolInfos;
extern Lock g_toolInfosLock;

namespace download {

// id = idHigh * 2^32 + idLow, idLow sign-extended: every pair of halves gives its own id.
[[nodiscard]] constexpr uint64_t MakeTaskId(int32_t idHigh, int32_t idLow) noexcept
{
    return (static_cast<uint64_t>(static_cast<uint32_t>(idHigh)) << 32) +
           static_cast<uint64_t>(static_cast<int64_t>(idLow));
}
// The halves the page gets back: the id's high and low 32 bits.
[[nodiscard]] constexpr int32_t TaskIdHigh(uint64_t id) noexcept
{
    return static_cast<int32_t>(static_cast<uint32_t>(id >> 32));
}
[[nodiscard]] constexpr int32_t TaskIdLow(uint64_t id) noexcept
{
    return static_cast<int32_t>(static_cast<uint32_t>(id));
}

enum class ClaimResult {
    Claimed,
    Running,  // the task is downloading already; nothing changed
    FileBusy, // another task is downloading to the same file; the task is marked failed
};
// What a claimed task's transfer works with: the pause request it watches.
struct ClaimedTask {
    ClaimResult result = ClaimResult::Running;
    int32_t* command = nullptr; // null unless claimed
};
// Marks the task as downloading to the file (a full path) and clears its pause request, creating
// the task when new. Case does not count in the file's path, as Windows ignores it.
[[nodiscard]] ClaimedTask ClaimTask(int32_t idHigh, int32_t idLow, std::wstring file) noexcept;
// A claimed task whose transfer could not even start: failed, so that the page may try again.
void MarkTaskNotStarted(uint64_t id) noexcept;
// Records a pause request; false when the page never started a task with that id.
[[nodiscard]] bool RequestPause(uint64_t id) noexcept;

[[nodiscard]] inline int32_t ReadCommand(int32_t& command) noexcept
{
    return std::atomic_ref<int32_t>(command).load();
}
inline void WriteCommand(int32_t& command, int32_t value) noexcept
{
    std::atomic_ref<int32_t>(command).store(value);
}

} // namespace download
