#include "download/TaskMap.h"

#include "base/NeverDestroyed.h"
#include "base/Text.h"

namespace {

// Transfers still running on WinHTTP's threads when the process ends hold pointers into the map.
NeverDestroyed<ToolInfoMap> g_toolInfoStorage;

} // namespace

ToolInfoMap& g_mapToolInfos = g_toolInfoStorage.Get();
Lock g_toolInfosLock;

namespace download {

ClaimedTask ClaimTask(int32_t idHigh, int32_t idLow, std::wstring file) noexcept
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
            return {ClaimResult::Running}; // one transfer per task at a time
        }
        // One transfer per file: two appending to one file would interleave their bytes.
        for (const auto& [otherId, other] : g_mapToolInfos) {
            if (other.nState == kStateDownloading &&
                text::EqualsIgnoringCase(other.strFile, file)) {
                task.nState = kStateFailed; // may try again once the file is free
                return {ClaimResult::FileBusy};
            }
        }
        // A resumed task keeps llTotal and nLastPercent: the page hears of progress again only
        // when the percentage moves on from what it last heard.
        task.nState = kStateDownloading;
        task.llDone = 0;
        task.strFile = std::move(file);
        WriteCommand(task.nCommand, kCommandNone);
        return {ClaimResult::Claimed, &task.nCommand};
    } catch (...) {
        return {ClaimResult::Running}; // no memory for a new entry: nothing changed
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

} // namespace download
