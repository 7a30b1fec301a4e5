#include "download/ResponseCheck.h"

#include "download/ResponseHeaders.h"

namespace download {
namespace {

constexpr unsigned long kStatusOk = 200;
constexpr unsigned long kStatusPartial = 206;
constexpr unsigned long kStatusRangeNotSatisfiable = 416;

ResponsePlan Fail() noexcept { return {}; }

// 200: the whole file, also when a range was asked for and the server ignored it. Appending it
// to the bytes on disk would corrupt the file, so the file is rewritten from its start.
ResponsePlan PlanWholeFile(std::optional<std::wstring_view> contentLength,
                           uint64_t lengthOnDisk) noexcept
{
    ResponsePlan plan{ResponseAction::ReadBody, lengthOnDisk > 0, 0, 0};
    if (contentLength) {
        const auto length = ParseContentLength(*contentLength);
        if (!length)
            return Fail();
        plan.total = *length;
    }
    return plan;
}

// 206: appended only when it continues the file exactly where the file ends.
ResponsePlan PlanPart(std::optional<std::wstring_view> contentLength,
                      std::optional<std::wstring_view> contentRange, uint64_t lengthOnDisk) noexcept
{
    const auto range = contentRange ? ParseContentRange(*contentRange) : std::nullopt;
    if (!range || !range->satisfied || range->first != lengthOnDisk)
        return Fail();
    const uint64_t bodyLength = range->last - range->first + 1;
    if (contentLength && ParseContentLength(*contentLength) != bodyLength)
        return Fail();
    // A total beyond the body's end means the server sent only a part: the transfer finishes
    // only when the file reaches that total.
    const uint64_t total = range->total ? *range->total : range->last + 1;
    return {ResponseAction::ReadBody, false, lengthOnDisk, total};
}

// 416: the range starts at or beyond the end of the server's file. The file on disk is complete
// when the server's total, if it names one, is exactly its length; the body (nginx sends an
// HTML page) is never written.
ResponsePlan PlanNothingLeft(std::optional<std::wstring_view> contentRange,
                             uint64_t lengthOnDisk) noexcept
{
    if (lengthOnDisk == 0)
        return Fail(); // no range was asked for
    if (contentRange) {
        const auto range = ParseContentRange(*contentRange);
        if (!range || range->satisfied || range->total != lengthOnDisk)
            return Fail(); // the file on disk is not the server's file
    }
    return {ResponseAction::Finish, false, lengthOnDisk, lengthOnDisk};
}

} // namespace

ResponsePlan PlanResponse(unsigned long status, std::optional<std::wstring_view> contentLength,
                          std::optional<std::wstring_view> contentRange,
                          uint64_t lengthOnDisk) noexcept
{
    switch (status) {
    case kStatusOk:
        return PlanWholeFile(contentLength, lengthOnDisk);
    case kStatusPartial:
        return PlanPart(contentLength, contentRange, lengthOnDisk);
    case kStatusRangeNotSatisfiable:
        return PlanNothingLeft(contentRange, lengthOnDisk);
    default:
        return Fail();
    }
}

} // namespace download
