#include "download/DownloadTasks.h"

#include "base/Paths.h"
#include "base/RelativeName.h"
#include "download/HttpRequest.h"
#include "download/HttpTransfer.h"
#include "download/ProgressNotifier.h"
#include "download/TaskMap.h"

#include <string>

namespace download {
namespace {

constexpr wchar_t kDownloadsFolder[] = L"Downloads";

// "<application directory>Downloads\<file name>": the name, checked to stay inside, is used as
// the page gave it and may hold a sub-folder of its own, which must exist already.
std::wstring DownloadPath(const std::wstring& appDirectory, const wchar_t* fileName)
{
    return appDirectory + kDownloadsFolder + L"\\" + fileName;
}

} // namespace

StartResult StartTask(const wchar_t* url, const wchar_t* fileName, int32_t idHigh,
                      int32_t idLow) noexcept
{
    // A name that leads out of the folder or that Windows reads otherwise is refused before
    // anything happens: no task is recorded for it, and nothing is written.
    if (!names::IsSafeRelativeName(fileName))
        return StartResult::NameRefused;
    // The task is claimed before its file is opened: a second call for it, even from inside the
    // page's progress function, is refused from here on.
    const ClaimedTask task = ClaimTask(idHigh, idLow);
    if (!task.command)
        return StartResult::AlreadyRunning;
    const uint64_t id = MakeTaskId(idHigh, idLow);
    try {
        const std::wstring appDirectory = paths::GetAppDirectory();
        if (!appDirectory.empty()) {
            const std::wstring path = DownloadPath(appDirectory, fileName);
            // Its result does not matter: a folder still missing makes the file fail to open.
            // Not for an address that no transfer can use, which fails before anything is made.
            if (CrackHttpAddress(url))
                (void)paths::MakeChain({}, appDirectory + kDownloadsFolder,
                                       paths::Separators::BackslashOnly);
            if (StartDownload(url, path.c_str(), id, DownloadCallBack, task.command,
                              task.validator))
                return StartResult::Started;
        }
    } catch (...) {
        // No memory for the path: the same as a file that cannot be opened.
    }
    // Not left downloading: a later call may try again.
    MarkTaskNotStarted(id);
    return StartResult::CannotStart;
}

} // namespace download
