#include "download/DownloadTasks.h"

#include "base/Paths.h"
#include "base/RelativeName.h"
#include "download/DownloadRecord.h"
#include "download/HttpRequest.h"
#include "download/HttpTransfer.h"
#include "download/ProgressNotifier.h"
#include "download/TaskMap.h"

#include <optional>
#include <string>

namespace download {
namespace {

// Where a task's file goes: "<Downloads folder>\<file name>", the name, checked to stay inside,
// used as the page gave it; it may hold a sub-folder of its own, which must exist already. Its
// version is recorded in the records' folder beside Downloads.
struct Destination {
    std::wstring appDirectory;
    std::wstring folder; // Downloads, ending with '\'
    std::wstring path;
};

// Nothing when the places know no folder. Throws only std::bad_alloc.
std::optional<Destination> DestinationOf(const paths::Places& places, const wchar_t* fileName)
{
    std::wstring appDirectory = places.AppDirectory();
    if (appDirectory.empty())
        return std::nullopt;
    std::wstring folder = places.DownloadsFolder() + L"\\";
    std::wstring path = folder + fileName;
    return Destination{std::move(appDirectory), std::move(folder), std::move(path)};
}

// Starts the claimed task's transfer; false when the file or WinHTTP could not be opened.
// Throws only std::bad_alloc.
bool StartClaimed(const Destination& destination, const wchar_t* url, const wchar_t* fileName,
                  uint64_t id, int32_t* command, int connections)
{
    TransferOrder order;
    // Taken apart once, here; an address that no transfer can use fails before anything is
    // made, the Downloads folder included.
    order.address = CrackHttpAddress(url);
    // Its result does not matter: a folder still missing makes the file fail its check.
    if (order.address)
        (void)paths::MakeChain({}, destination.folder, paths::Separators::BackslashOnly);
    order.path = destination.path;
    order.record = DownloadRecord(RecordFolderIn(destination.appDirectory), fileName);
    order.taskId = id;
    order.callBack = DownloadCallBack;
    order.command = command;
    order.connections = connections;
    return StartDownload(std::move(order));
}

} // namespace

StartResult StartTask(const paths::Places& places, const wchar_t* url, const wchar_t* fileName,
                      int32_t idHigh, int32_t idLow, int connections) noexcept
{
    // A name that leads out of the folder or that Windows reads otherwise is refused before
    // anything happens: no task is recorded for it, and nothing is written. So is one that leads
    // through a link inside the folder, which could send the file anywhere.
    if (!names::IsSafeRelativeName(fileName))
        return StartResult::NameRefused;
    std::optional<Destination> destination;
    std::wstring fullPath;
    try {
        destination = DestinationOf(places, fileName);
        if (destination && paths::LeadsThroughLink(destination->folder, fileName,
                                                   paths::Separators::BackslashOrSlash))
            return StartResult::NameRefused;
        if (destination)
            fullPath = paths::FullPath(destination->path);
    } catch (...) {
        // No memory for a path: nothing was claimed.
    }
    if (fullPath.empty())
        return StartResult::CannotStart;
    // The task and its file are claimed before anything is opened: a second call for either,
    // even from inside the page's progress function, is refused from here on.
    const ClaimedTask task = ClaimTask(idHigh, idLow, std::move(fullPath));
    if (task.result == ClaimResult::Running)
        return StartResult::AlreadyRunning;
    if (task.result == ClaimResult::FileBusy)
        return StartResult::CannotStart;
    const uint64_t id = MakeTaskId(idHigh, idLow);
    try {
        if (StartClaimed(*destination, url, fileName, id, task.command, connections))
            return StartResult::Started;
    } catch (...) {
        // No memory for the order: the same as a file that cannot be opened.
    }
    // Not left downloading: a later call may try again.
    MarkTaskNotStarted(id);
    return StartResult::CannotStart;
}

int ConnectionsFrom(std::wstring_view setting) noexcept
{
    if (setting.size() == 1 && setting[0] >= L'1' && setting[0] < L'1' + kMaxConnections)
        return setting[0] - L'0';
    return kDefaultConnections;
}

void SweepOldRecords(const paths::Places& places) noexcept
{
    try {
        const std::wstring& appDirectory = places.AppDirectory();
        if (!appDirectory.empty())
            SweepRecords(RecordFolderIn(appDirectory));
    } catch (...) {
        // No memory for the path: the next start sweeps.
    }
}

} // namespace download
