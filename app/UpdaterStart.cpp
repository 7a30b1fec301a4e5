#include "app/UpdaterStart.h"

#include "app/UpdaterTrust.h"
#include "base/Unique.h"

#include <shellapi.h>

namespace app {
namespace {

enum class Start { Refused, Started, Failed };

bool Passes(const UpdaterRules& rules, HANDLE file, const std::wstring& path)
{
    return VerifyUpdater(rules.toolPath, file, path, rules.keys) == UpdaterVerdict::Accepted;
}

// Checks the file through a handle that shares it with readers only, and starts it while the
// handle is open: a program start only reads the file, and nothing can write, rename or delete
// it until the process has been made from it.
Start StartIfPassing(const std::wstring& path, const UpdaterRules& rules)
{
    UniqueFile held(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!held || !Passes(rules, held.Get(), path))
        return Start::Refused;
    if (rules.beforeStart)
        rules.beforeStart();
    // Through the shell, which can ask for elevation if the updater's manifest wants it; it
    // returns once the process exists, and shows no error of its own.
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.lpFile = path.c_str();
    info.nShow = SW_HIDE;
    if (::ShellExecuteExW(&info))
        return Start::Started;
    held.Reset();
    (void)::DeleteFileW(path.c_str());
    return Start::Failed;
}

} // namespace

bool LaunchUpdater(const std::wstring& path, const UpdaterRules& rules) noexcept
{
    try {
        // An updater in place that passes is started as it is, never fetched again; one that
        // fails is replaced only by a fetched one that passes, which is checked once more
        // through the handle that is held until its start.
        const Start inPlace = StartIfPassing(path, rules);
        if (inPlace != Start::Refused)
            return inPlace == Start::Started;
        const FetchedFileCheck passes = [&](HANDLE file, const std::wstring& fetched) {
            return Passes(rules, file, fetched);
        };
        return FetchUpdater(rules.url, path, passes, rules.limits) == FetchResult::Saved &&
               StartIfPassing(path, rules) == Start::Started;
    } catch (...) {
        return false;
    }
}

} // namespace app
