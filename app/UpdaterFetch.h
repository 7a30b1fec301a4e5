#pragma once
// Fetches the updater program over HTTP into the application directory. The file appears under
// its final name only when it arrived whole, since an updater that exists is never fetched
// again: a saved error page or a cut-off download would break every later update.
#include "base/Win.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace app {

enum class FetchResult {
    Saved,        // the whole body is in the target file
    BadAddress,   // the address is not an http or https URL
    NoConnection, // no answer from the server
    BadStatus,    // the server answered, but not with 200
    Incomplete,   // no length announced, or the body ended before it
    WriteFailed,  // the file could not be written or put in place
    Refused,      // it arrived whole, but the check refused it
    TimedOut,     // a wait for the server, or the whole fetch, ran past its limit
    TooLarge,     // the announced length, or the body, is above the size limit
};

// What bounds one fetch. The fetch runs on the UI thread, which stands still until it ends, so
// the whole fetch has a limit of its own besides those of its single waits. The tool's own clock
// keeps them, however slowly the server talks (RequestWatch).
struct FetchLimits {
    DWORD stepTimeoutMs = 30'000;    // connecting and sending; the whole block of the response's
                                     // headers; each wait for more of the body
    DWORD wholeFetchMs = 5 * 60'000; // everything, from the request to the last byte
    uint64_t maxBytes = 64ull << 20; // an updater is a few MiB; a larger body is no updater
};

// Told the whole download's handle, open for reading only and shared with readers only (nobody
// can write, rename or delete the file while it is open), and its path; true when it may take
// the target's name.
using FetchedFileCheck = std::function<bool(HANDLE file, const std::wstring& path)>;

// Synchronous: returns when the transfer has ended, at the latest when a limit is reached. The
// target's folder receives a temporary file meanwhile (not before the announced length has
// passed the size limit), which is renamed through the handle that `check` was given to the
// target when it is whole and passes, and deleted otherwise.
[[nodiscard]] FetchResult FetchUpdater(std::wstring_view url, const std::wstring& target,
                                       const FetchedFileCheck& check,
                                       const FetchLimits& limits = {}) noexcept;

} // namespace app
