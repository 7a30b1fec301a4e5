#include "download/ResponseCheck.h"

#include "download/ResponseHeaders.h"

namespace download {
namespace {

constexpr unsigned long kStatusOk = 200;
constexpr unsigned long kStatusPartial = 206;
constexpr unsigned long kStatusRangeNotSatisfiable = 416;

ResponsePlan Fail() noexcept { return {}; }

// The version the answer names: its strong ETag and its Last-Modified date, each if it gives one.
FileVersion VersionOf(const ResponseHeaderTexts& headers) noexcept
{
    using Kind = ResumeValidator::Kind;
    FileVersion version;
    if (const auto tag = headers.eTag ? ParseStrongETag(*headers.eTag) : std::nullopt)
        version.tag = ResumeValidator(Kind::ETag, *tag); // stays None when too long to keep
    if (const auto date =
            headers.lastModified ? ParseLastModified(*headers.lastModified) : std::nullopt)
        version.date = ResumeValidator(Kind::LastModified, *date);
    return version;
}

bool Named(const ResumeValidator& validator) noexcept
{
    return validator.GetKind() != ResumeValidator::Kind::None;
}

bool Same(const ResumeValidator& a, const ResumeValidator& b) noexcept
{
    return a.View() == b.View();
}

// Whether the answer names the file's version: by the tag when both sides have one (the tag
// names exact bytes; a date may move while they stay), else by the date. Nothing when they share
// no name.
std::optional<bool> NamesVersion(const FileVersion& answer, const FileVersion& known) noexcept
{
    if (Named(known.tag) && Named(answer.tag))
        return Same(answer.tag, known.tag);
    if (Named(known.date) && Named(answer.date))
        return Same(answer.date, known.date);
    return std::nullopt;
}

// 200: the whole file, also when a range was asked for and the server ignored it or the file
// changed. Appending it to the bytes on disk would corrupt the file, so the file is rewritten
// from its start.
ResponsePlan PlanWholeFile(const ResponseHeaderTexts& headers, uint64_t lengthOnDisk) noexcept
{
    ResponsePlan plan{ResponseAction::ReadBody, lengthOnDisk > 0, 0, 0, {}, VersionOf(headers)};
    if (headers.contentLength) {
        plan.bodyLength = ParseContentLength(*headers.contentLength);
        if (!plan.bodyLength)
            return Fail();
        plan.total = *plan.bodyLength;
    }
    return plan;
}

// 206: appended only when it continues the file exactly where the file ends and, when the request
// named the file's version, names that version.
ResponsePlan PlanPart(const ResponseHeaderTexts& headers, uint64_t lengthOnDisk,
                      const FileVersion& known) noexcept
{
    const auto range =
        headers.contentRange ? ParseContentRange(*headers.contentRange) : std::nullopt;
    FileVersion named = VersionOf(headers);
    if (!range || !range->satisfied || range->first != lengthOnDisk ||
        // A part that names no version may come from a server (or a host met on a redirect)
        // that never weighed If-Range: its bytes may belong to any version.
        (known.Known() && !NamesVersion(named, known).value_or(false)))
        return Fail();
    const uint64_t bodyLength = range->last - range->first + 1;
    if (headers.contentLength && ParseContentLength(*headers.contentLength) != bodyLength)
        return Fail();
    // A total beyond the body's end means the server sent only a part: the transfer finishes
    // only when the file reaches that total.
    const uint64_t total = range->total ? *range->total : range->last + 1;
    // The same version: a name the answer leaves out is still the one the file had.
    if (!Named(named.tag))
        named.tag = known.tag;
    if (!Named(named.date))
        named.date = known.date;
    // Never more than the range: a server that runs past it would write another part of the
    // file, or another file, after this one's end.
    return {ResponseAction::ReadBody, false, lengthOnDisk, total, bodyLength, named};
}

// 416: the range starts at or beyond the end of the server's file. The file on disk is complete
// when the server's total, if it names one, is exactly its length, and the version, if it names
// one, is the file's; the body (nginx sends an HTML page) is never written.
ResponsePlan PlanNothingLeft(const ResponseHeaderTexts& headers, uint64_t lengthOnDisk,
                             const FileVersion& known) noexcept
{
    if (lengthOnDisk == 0 || !NamesVersion(VersionOf(headers), known).value_or(true))
        return Fail(); // no range was asked for, or the server's file is another one
    if (headers.contentRange) {
        const auto range = ParseContentRange(*headers.contentRange);
        if (!range || range->satisfied || range->total != lengthOnDisk)
            return Fail(); // the file on disk is not the server's file
    }
    return {ResponseAction::Finish, false, lengthOnDisk, lengthOnDisk, 0, known};
}

} // namespace

ResponsePlan PlanResponse(unsigned long status, const ResponseHeaderTexts& headers,
                          uint64_t lengthOnDisk, const FileVersion& known) noexcept
{
    switch (status) {
    case kStatusOk:
        return PlanWholeFile(headers, lengthOnDisk);
    case kStatusPartial:
        return PlanPart(headers, lengthOnDisk, known);
    case kStatusRangeNotSatisfiable:
        return PlanNothingLeft(headers, lengthOnDisk, known);
    default:
        return Fail();
    }
}

} // namespace download
