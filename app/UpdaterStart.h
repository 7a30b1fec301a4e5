#pragma once
// Starts the updater program from the application directory: the file in place when it passes
// the check, else one fetched that passes. The file is held open from its check to its start,
// shared with readers only, so that no other program can be written, renamed or moved over it
// in between: the program started is the program checked. UI thread.
#include "app/Publisher.h"
#include "app/UpdaterFetch.h"

#include <functional>
#include <span>
#include <string>

namespace app {

// What decides which updater may start, and where a missing or refused one comes from.
struct UpdaterRules {
    // The keys that may sign the updater: BuiltInUpdaterKeys(), or a test's list.
    std::span<const KeyHash> keys;
    std::wstring toolPath; // the tool's own program, whose signature decides without keys
    std::wstring url;      // where the updater is fetched from
    FetchLimits limits;    // what bounds the fetch: the defaults, or a test's shorter ones
    // For tests: runs between the last check and the start, while the file is held.
    std::function<void()> beforeStart;
};

// True when the updater at `path` was started: hidden, with no parameters, in the tool's
// current folder. An updater that passed its check but cannot be started (a damaged image) is
// deleted, so that the next update fetches a fresh one.
[[nodiscard]] bool LaunchUpdater(const std::wstring& path, const UpdaterRules& rules) noexcept;

} // namespace app
