// Sizes read from response headers: 64-bit, and nothing read from text that is not a size.
#include "download/ResponseHeaders.h"
#include "download/ResponseCheck.h"
#include "tests/support/Files.h"

#include <gtest/gtest.h>

using download::ParseContentLength;
using download::ParseContentRange;

namespace {

// A parsed range as text, so that one table can say what each header reads as.
std::string Describe(const std::optional<download::ContentRange>& range)
{
    if (!range)
        return "refused";
    std::string text = range->satisfied
                           ? std::to_string(range->first) + "-" + std::to_string(range->last)
                           : "*";
    return text + "/" + (range->total ? std::to_string(*range->total) : "*");
}

} // namespace

TEST(ResponseHeaders, SizesAreRead64BitAndAnythingElseIsRefused)
{
    const struct {
        const wchar_t* text;
        std::optional<uint64_t> length;
    } lengths[] = {
        {L"5000000000", 5000000000ull},
        {L" 18446744073709551615 ", 18446744073709551615ull},
        {L"18446744073709551616", std::nullopt},
        {L"", std::nullopt},
        {L"-1", std::nullopt},
        {L"+5", std::nullopt},
        {L"12a", std::nullopt},
        {L"1 2", std::nullopt},
    };
    for (const auto& c : lengths)
        EXPECT_EQ(ParseContentLength(c.text), c.length) << "Content-Length: " << test::Utf8(c.text);

    const struct {
        const wchar_t* text;
        const char* reads;
    } ranges[] = {
        {L"bytes 4294968296-4294971391/4294971392", "4294968296-4294971391/4294971392"},
        {L"bytes */6442450944", "*/6442450944"},
        {L"Bytes 0-9/*", "0-9/*"},
        {L"bytes 0-18446744073709551614/*", "0-18446744073709551614/*"},
        // The length such a body would give the file wraps to 0.
        {L"bytes 0-18446744073709551615/*", "refused"},
        {L"bytes 0-18446744073709551616/*", "refused"},
        {L"bytes 0-9/18446744073709551616", "refused"},
        {L"bytes 10-5/100", "refused"},
        {L"bytes 0-99/50", "refused"},
        {L"bytes */*", "refused"},
        {L"items 0-1/2", "refused"},
        {L"bytes 0-/10", "refused"},
        {L"bytes 0-9", "refused"},
        {L"bytes 0-9/10 x", "refused"},
    };
    for (const auto& c : ranges)
        EXPECT_EQ(Describe(ParseContentRange(c.text)), c.reads)
            << "Content-Range: " << test::Utf8(c.text);
}

TEST(ResponseCheck, OnlyAnswersThatContinueTheFileAreRead)
{
    using download::ResponseAction;
    const auto plan = [](unsigned long status, std::optional<std::wstring_view> length,
                         std::optional<std::wstring_view> range, uint64_t onDisk) {
        return download::PlanResponse(status, length, range, onDisk);
    };
    // A 206 must carry a Content-Range that starts at the length on disk and agrees with its
    // Content-Length; a 416 without a range asked for says nothing about the file.
    EXPECT_EQ(plan(206, L"100", std::nullopt, 100).action, ResponseAction::Fail);
    EXPECT_EQ(plan(206, L"50", L"bytes 100-199/200", 100).action, ResponseAction::Fail);
    EXPECT_EQ(plan(206, L"100", L"bytes 100-199/200", 100).total, 200u);
    EXPECT_EQ(plan(416, L"0", std::nullopt, 0).action, ResponseAction::Fail);
    EXPECT_EQ(plan(416, L"0", std::nullopt, 300).action, ResponseAction::Finish);
    EXPECT_EQ(plan(416, L"0", L"garbage", 300).action, ResponseAction::Fail);
    EXPECT_EQ(plan(200, L"x", std::nullopt, 0).action, ResponseAction::Fail);
    EXPECT_EQ(plan(304, L"0", std::nullopt, 300).action, ResponseAction::Fail);
}
