#include "download/ResponseCheck.h"

#include "download/ResponseHeaders.h"

namespace download {
namespace {

constexpr unsigned long kStatusOk = 200;
constexpr unsigned long kStatusPartial = 206;
constexpr unsigned long kStatusRangeNotSatisfiable = 416;

ResponsePlan Fail() noexcept { return {}; }

// The version the answer names: its strong ETag, else its Last-Modified date.
ResumeValidator ValidatorOf(const ResponseHeaderTexts& headers) noexcept
{
    using Kind = ResumeValidator::Kind;
    const auto tag = headers.eTag ? ParseStrongETag(*headers.eTag) : std::nullopt;
    if (tag) {
        const ResumeValidator validator(Kind::ETag, *tag);
        if (validator.GetKind() != Kind::None)
            return validator; // else too long to keep: the date stands in
    }
    const auto date =
        headers.lastModified ? ParseLastModified(*headers.lastModified) : std::nullopt;
    return date ? ResumeValidator(Kind::LastModified, *date) : ResumeValidator();
}

// True when the answer names, in the form the request's If-Range used, a version other than the
// one the file on disk holds. An answer that names none is taken at its word: the server has
// weighed If-Range, and a file that changed would have come whole, as a 200.
bool NamesAnotherVersion(const ResponseHeaderTexts& headers,
                         const ResumeValidator& ifRange) noexcept
{
    switch (ifRange.GetKind()) {
    case ResumeValidator::Kind::ETag:
        return headers.eTag && ParseStrongETag(*headers.eTag) != ifRange.View();
    case ResumeValidator::Kind::LastModified:
        return headers.lastModified && ParseLastModified(*headers.lastModified) != ifRange.View();
    default:
        return false;
    }
}

// 200: the whole file, also when a range was asked for and the server ignored it or the file
// changed. Appending it to the bytes on disk would corrupt the file, so the file is rewritten
// from its start.
ResponsePlan PlanWholeFile(const ResponseHeaderTexts& headers, uint64_t lengthOnDisk) noexcept
{
    ResponsePlan plan{ResponseAction::ReadBody, lengthOnDisk > 0, 0, 0, ValidatorOf(headers)};
    if (headers.contentLength) {
        const auto length = ParseContentLength(*headers.contentLength);
        if (!length)
            return Fail();
        plan.total = *length;
    }
    return plan;
}

// 206: appended only when it continues the file exactly where the file ends, and the same
// version of it.
ResponsePlan PlanPart(const ResponseHeaderTexts& headers, uint64_t lengthOnDisk,
                      const ResumeValidator& ifRange) noexcept
{
    const auto range =
        headers.contentRange ? ParseContentRange(*headers.contentRange) : std::nullopt;
    if (!range || !range->satisfied || range->first != lengthOnDisk ||
        NamesAnotherVersion(headers, ifRange))
        return Fail();
    const uint64_t bodyLength = range->last - range->first + 1;
    if (headers.contentLength && ParseContentLength(*headers.contentLength) != bodyLength)
        return Fail();
    // A total beyond the body's end means the server sent only a part: the transfer finishes
    // only when the file reaches that total.
    const uint64_t total = range->total ? *range->total : range->last + 1;
    // A part that names no version continues the one that If-Range named.
    const ResumeValidator named = ValidatorOf(headers);
    return {ResponseAction::ReadBody, false, lengthOnDisk, total,
            named.GetKind() != ResumeValidator::Kind::None ? named : ifRange};
}

// 416: the range starts at or beyond the end of the server's file. The file on disk is complete
// when the server's total, if it names one, is exactly its length, and the version, if it names
// one, is the file's; the body (nginx sends an HTML page) is never written.
ResponsePlan PlanNothingLeft(const ResponseHeaderTexts& headers, uint64_t lengthOnDisk,
                             const ResumeValidator& ifRange) noexcept
{
    if (lengthOnDisk == 0 || NamesAnotherVersion(headers, ifRange))
        return Fail(); // no range was asked for, or the server's file is another one
    if (headers.contentRange) {
        const auto range = ParseContentRange(*headers.contentRange);
        if (!range || range->satisfied || range->total != lengthOnDisk)
            return Fail(); // the file on disk is not the server's file
    }
    return {ResponseAction::Finish, false, lengthOnDisk, lengthOnDisk, {}};
}

} // namespace

ResponsePlan PlanResponse(unsigned long status, const ResponseHeaderTexts& headers,
                          uint64_t lengthOnDisk, const ResumeValidator& ifRange) noexcept
{
    switch (status) {
    case kStatusOk:
        return PlanWholeFile(headers, lengthOnDisk);
    case kStatusPartial:
        return PlanPart(headers, lengthOnDisk, ifRange);
    case kStatusRangeNotSatisfiable:
        return PlanNothingLeft(headers, lengthOnDisk, ifRange);
    default:
        return Fail();
    }
}

} // namespace download
