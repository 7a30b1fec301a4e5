#pragma once
// What a transfer does with the response to its GET, decided from the status line and the two
// size headers alone: read the body into the file, finish at once, or fail and leave the file be.
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
};

// lengthOnDisk is what the request asked for with its Range header (0: no Range was sent). A
// header that was not sent is nullopt; one that was sent but is not understood fails the check.
[[nodiscard]] ResponsePlan PlanResponse(unsigned long status,
                                        std::optional<std::wstring_view> contentLength,
                                        std::optional<std::wstring_view> contentRange,
                                        uint64_t lengthOnDisk) noexcept;

} // namespace download
