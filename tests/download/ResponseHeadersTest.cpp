// Sizes and versions read from response headers, and what a transfer makes of an answer: sizes
// are 64-bit, nothing is read from text that is not a size, and no answer that names another
// version of the file continues it.
#include "download/ResponseHeaders.h"
#include "download/ResponseCheck.h"
#include "tests/support/Files.h"

#include <gtest/gtest.h>

using download::ResumeValidator;

namespace {

std::string Describe(const std::optional<download::ContentRange>& range)
{
    if (!range)
        return "refused";
    std::string text =
        range->satisfied ? std::to_string(range->first) + "-" + std::to_string(range->last) : "*";
    return text + "/" + (range->total ? std::to_string(*range->total) : "*");
}

// What the parser of the named header makes of its text, as text, so that one table can say
// what each header reads as.
std::string Read(std::string_view header, std::wstring_view text)
{
    if (header == "Content-Length") {
        const auto length = download::ParseContentLength(text);
        return length ? std::to_string(*length) : "refused";
    }
    if (header == "Content-Range")
        return Describe(download::ParseContentRange(text));
    const auto version =
        header == "ETag" ? download::ParseStrongETag(text) : download::ParseLastModified(text);
    return version ? test::Utf8(*version) : "refused";
}

// A plan as text: "fail", "finish", or "read from <offset> to <total>", with ", restart" when
// the file is rewritten, and the version the task keeps ("keeps nothing" when none).
std::string Describe(const download::ResponsePlan& plan)
{
    if (plan.action == download::ResponseAction::Fail)
        return "fail";
    if (plan.action == download::ResponseAction::Finish)
        return "finish";
    std::string text = "read from " + std::to_string(plan.offset) + " to " +
                       std::to_string(plan.total) + (plan.restartFile ? ", restart" : "");
    return text + ", keeps " +
           (plan.validator.GetKind() == ResumeValidator::Kind::None
                ? "nothing"
                : test::Utf8(plan.validator.View()));
}

} // namespace

TEST(ResponseHeaders, SizesAreRead64BitVersionsOnlyFromStrongTagsAndPlainDates)
{
    const struct {
        const char* header;
        const wchar_t* text;
        const char* reads;
    } cases[] = {
        {"Content-Length", L"5000000000", "5000000000"},
        {"Content-Length", L" 18446744073709551615 ", "18446744073709551615"},
        {"Content-Length", L"18446744073709551616", "refused"},
        {"Content-Length", L"", "refused"},
        {"Content-Length", L"-1", "refused"},
        {"Content-Length", L"+5", "refused"},
        {"Content-Length", L"12a", "refused"},
        {"Content-Length", L"1 2", "refused"},
        {"Content-Range", L"bytes 4294968296-4294971391/4294971392",
         "4294968296-4294971391/4294971392"},
        {"Content-Range", L"bytes */6442450944", "*/6442450944"},
        {"Content-Range", L"Bytes 0-9/*", "0-9/*"},
        {"Content-Range", L"bytes 0-18446744073709551614/*", "0-18446744073709551614/*"},
        // The length such a body would give the file wraps to 0.
        {"Content-Range", L"bytes 0-18446744073709551615/*", "refused"},
        {"Content-Range", L"bytes 0-18446744073709551616/*", "refused"},
        {"Content-Range", L"bytes 0-9/18446744073709551616", "refused"},
        {"Content-Range", L"bytes 10-5/100", "refused"},
        {"Content-Range", L"bytes 0-99/50", "refused"},
        {"Content-Range", L"bytes */*", "refused"},
        {"Content-Range", L"items 0-1/2", "refused"},
        {"Content-Range", L"bytes 0-/10", "refused"},
        {"Content-Range", L"bytes 0-9", "refused"},
        {"Content-Range", L"bytes 0-9/10 x", "refused"},
        {"ETag", L" \"v1\" ", "\"v1\""},
        {"ETag", L"\"\"", "\"\""},
        // A weak tag names no exact bytes; the rest is no tag, or none to send back as it came.
        {"ETag", L"W/\"v1\"", "refused"},
        {"ETag", L"v1", "refused"},
        {"ETag", L"\"a b\"", "refused"},
        {"ETag", L"\"a\"b\"", "refused"},
        {"ETag", L"\"", "refused"},
        {"ETag", L"\"\u00E9\"", "refused"},
        {"Last-Modified", L" Thu, 02 Jan 2020 00:00:00 GMT", "Thu, 02 Jan 2020 00:00:00 GMT"},
        {"Last-Modified", L"", "refused"},
        {"Last-Modified", L"\"v1\"", "refused"},
        {"Last-Modified", L"W/\"v1\"", "refused"},
        {"Last-Modified", L"Thu, 02 Jan 2020\x01", "refused"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Read(c.header, c.text), c.reads) << c.header << ": " << test::Utf8(c.text);
}

TEST(ResponseCheck, OnlyAnswersThatContinueTheFileOnDiskAreRead)
{
    constexpr wchar_t kDate1[] = L"Thu, 02 Jan 2020 00:00:00 GMT";
    constexpr wchar_t kDate2[] = L"Fri, 03 Jan 2020 00:00:00 GMT";
    const ResumeValidator none;
    const ResumeValidator tag1(ResumeValidator::Kind::ETag, L"\"v1\"");
    const ResumeValidator date1(ResumeValidator::Kind::LastModified, kDate1);
    const download::ResponseHeaderTexts part = {L"100", L"bytes 100-199/200", {}, {}};
    // One case a line or two, rather than one field a line.
    // clang-format off
    const struct {
        const char* name;
        unsigned long status;
        download::ResponseHeaderTexts headers; // length, range, ETag, Last-Modified
        uint64_t onDisk;
        const ResumeValidator& ifRange;
        const char* plan;
    } cases[] = {
        {"a part", 206, part, 100, none, "read from 100 to 200, keeps nothing"},
        {"a part without its range", 206, {L"100", {}, {}, {}}, 100, none, "fail"},
        {"a part whose length is not its range's", 206, {L"50", part.contentRange, {}, {}}, 100,
         none, "fail"},
        {"a part of the same tag", 206, {L"100", part.contentRange, L"\"v1\"", kDate2}, 100, tag1,
         "read from 100 to 200, keeps \"v1\""},
        {"a part of another tag", 206, {L"100", part.contentRange, L"\"v2\"", kDate1}, 100, tag1,
         "fail"},
        {"a part of the same tag made weak", 206, {L"100", part.contentRange, L"W/\"v1\"", {}},
         100, tag1, "fail"},
        {"a part naming no version", 206, part, 100, tag1, "read from 100 to 200, keeps \"v1\""},
        {"a part of another date", 206, {L"100", part.contentRange, {}, kDate2}, 100, date1,
         "fail"},
        {"a part of the date asked for, with a tag", 206,
         {L"100", part.contentRange, L"\"v1\"", kDate1}, 100, date1,
         "read from 100 to 200, keeps \"v1\""},
        {"a whole file", 200, {L"300", {}, L"\"v2\"", kDate2}, 100, tag1,
         "read from 0 to 300, restart, keeps \"v2\""},
        {"a whole file with a weak tag", 200, {L"300", {}, L"W/\"v2\"", kDate2}, 0, none,
         "read from 0 to 300, keeps Fri, 03 Jan 2020 00:00:00 GMT"},
        {"a whole file naming no version", 200, {{}, {}, {}, {}}, 100, tag1,
         "read from 0 to 0, restart, keeps nothing"},
        {"a whole file whose length is no number", 200, {L"x", {}, {}, {}}, 0, none, "fail"},
        {"nothing left", 416, {L"0", L"bytes */300", L"\"v1\"", {}}, 300, tag1, "finish"},
        {"nothing left, no range named", 416, {L"0", {}, {}, {}}, 300, none, "finish"},
        {"nothing left of another tag", 416, {L"0", L"bytes */300", L"\"v2\"", {}}, 300, tag1,
         "fail"},
        {"nothing left when nothing was asked for", 416, {L"0", {}, {}, {}}, 0, none, "fail"},
        {"nothing left, range garbled", 416, {L"0", L"garbage", {}, {}}, 300, none, "fail"},
        {"not modified", 304, {L"0", {}, {}, {}}, 300, none, "fail"},
    };
    // clang-format on
    for (const auto& c : cases) {
        EXPECT_EQ(Describe(download::PlanResponse(c.status, c.headers, c.onDisk, c.ifRange)),
                  c.plan)
            << c.name;
    }
}
