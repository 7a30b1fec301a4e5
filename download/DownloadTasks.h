#pragma once
// Starting a task's download for the page: the task and its file are claimed in the task map,
// the file goes to the "Downloads" folder of the tool's places (never outside it, nor through a
// link inside it), its version is recorded beside that folder, and the transfer reports to
// DownloadCallBack. UI thread.
#include "base/Places.h"

#include <cstdint>
#include <string_view>

namespace download {

enum class StartResult {
    Started,        // the transfer runs, or already ended with the failed event sent
    AlreadyRunning, // the task is downloading; its transfer goes on undisturbed
    CannotStart,    // the file is another task's, or it or WinHTTP cannot be opened; the task
                    // is marked failed
    NameRefused,    // the name would leave the Downloads folder; no task is recorded
};

// connections: how many the transfer may use, from ConnectionsFrom.
[[nodiscard]] StartResult StartTask(const paths::Places& places, const wchar_t* url,
                                    const wchar_t* fileName, int32_t idHigh, int32_t idLow,
                                    int connections) noexcept;

// The connections a download may use, from config.ini's download/connections as read when the
// download starts: "1" (one stream, one request) to "8", written exactly so; any other text, an
// empty one included, gives kDefaultConnections, as the tool's other settings take their fallback
// for anything but their exact values.
[[nodiscard]] int ConnectionsFrom(std::wstring_view setting) noexcept;

// Removes the records of downloads left alone for 30 days; run when the tool starts.
void SweepOldRecords(const paths::Places& places) noexcept;

} // namespace download
