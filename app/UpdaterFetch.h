#pragma once
// Fetches the updater program over HTTP into the application directory. The file appears under
// its final name only when it arrived whole, since an updater that exists is never fetched
// again: a saved error page or a cut-off download would break every later update.
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
};

// Told the path of the whole, closed download; true when it may take the target's name.
using FetchedFileCheck = std::function<bool(const std::wstring& file)>;

// Synchronous: returns when the transfer has ended. The target's folder receives a temporary
// file meanwhile, which is renamed to the target when it is whole and passes `check`, and
// deleted otherwise.
[[nodiscard]] FetchResult FetchUpdater(std::wstring_view url, const std::wstring& target,
                                       const FetchedFileCheck& check) noexcept;

} // namespace app
