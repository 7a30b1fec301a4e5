#include "download/TaskMap.h"

#include "base/NeverDestroyed.h"

namespace {

// Transfers still running on WinHTTP's threads when the process ends hold pointers into the map.
NeverDestroyed<ToolInfoMap> g_toolInfoStorage;

} // namespace

ToolInfoMap& g_mapToolInfos = g_toolInfoStorage.Get();
Lock g_toolInfosLock;

namespace download {

ClaimedTask ClaimTask(int32_t idHigh, int32_t idLow) noexcept
{
    const uint64_t id = MakeTaskId(idHigh, idLow);
    try {
        LockGuard lock(g_toolInfosLock);
        auto [it, created] = g_mapToolInfos.try_emplace(id);
        TOOLINFOS& task = it->second;
        if (created) {
            task.idHigh = idHigh;
            task.idLow = idLow;
        } else if (task.nState == kStateDownloading) {
            return {}; // one transfer per task at a time
        }
        // A resumed task keeps llTotal and nLastPercent: the page hears of progress again only
        // when the percentage moves on from what it last heard. It keeps its validator too.
        task.nState = kStateDownloading;
        task.llDone = 0;
        WriteCommand(task.nCommand, kCommandNone);
        return {&task.nCommand, &task.validator};
    } catch (...) {
        return {}; // no memory for a new entry
    }
}

void MarkTaskNotStarted(uint64_t id) noexcept
{
    LockGuard lock(g_toolInfosLock);
    auto it = g_mapToolInfos.find(id);
    if (it != g_mapToolInfos.end())
        it->second.nState = kStateFailed;
}

bool RequestPause(uint64_t id) noexcept
{
    LockGuard lock(g_toolInfosLock);
    auto it = g_mapToolInfos.find(id);
    if (it == g_mapToolInfos.end())
        return false;
    WriteCommand(it->second.nCommand, kCommandPause);
    return true;
}

ResumeValidator ReadValidator(const ResumeValidator& kept) noexcept
{
    LockGuard lock(g_toolInfosLock);
    return kept;
}

void ReplaceValidator(ResumeValidator& kept, const ResumeValidator& fresh) noexcept
{
    LockGuard lock(g_toolInfosLock);
    kept = fresh;
}

} // namespace download
