#pragma once
// What a transfer does with the response to its GET, decided from the status line and a few
// headers alone: read the body into the file, finish at once, or fail and leave the file be.
#include "download/ResumeValidator.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace download {

enum class ResponseAction { ReadBody, Finish, Fail };

struct ResponsePlan {
    ResponseAction action = ResponseAction::Fail;
    bool restartFile = false; // the body is the whole file: rewrite the file from its start
    uint64_t offset = 0;      // the file's length that the body continues
    uint64_t total = 0;       // the file's size once the body has arrived; 0 when not announced
    // The most body bytes the answer may bring; nothing when it does not say.
    std::optional<uint64_t> bodyLength;
    // With ReadBody: the version the answer names (neither name when it names none); with
    // Finish: the version the request named, which the answer did not gainsay.
    FileVersion version;
};

// The headers the plan reads, as the server sent them; nullopt for one it did not send.
struct ResponseHeaderTexts {
    std::optional<std::wstring_view> contentLength;
    std::optional<std::wstring_view> contentRange;
    std::optional<std::wstring_view> eTag;
    std::optional<std::wstring_view> lastModified;
};

// lengthOnDisk is what the request asked for with its Range header (0: no Range was sent), and
// known the version of the file that it named with If-Range (unknown: none was sent). A header
// that was sent but is not understood fails the check.
[[nodiscard]] ResponsePlan PlanResponse(unsigned long status, const ResponseHeaderTexts& headers,
                                        uint64_t lengthOnDisk, const FileVersion& known) noexcept;

} // namespace download
