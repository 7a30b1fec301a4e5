// Sizes read from response headers: 64-bit, and nothing read from text that is not a size.
#include "download/ResponseHeaders.h"
#include "download/ResponseCheck.h"

#include <gtest/gtest.h>

using download::ParseContentLength;
using download::ParseContentRange;

TEST(ResponseHeaders, SizesOf4GiBAndMoreAreRead)
{
    EXPECT_EQ(ParseContentLength(L"5000000000"), 5000000000ull);
    EXPECT_EQ(ParseContentLength(L" 18446744073709551615 "), 18446744073709551615ull);
    const auto range = ParseContentRange(L"bytes 4294968296-4294971391/4294971392");
    ASSERT_TRUE(range);
    EXPECT_TRUE(range->satisfied);
    EXPECT_EQ(range->first, 4294968296ull);
    EXPECT_EQ(range->last, 4294971391ull);
    EXPECT_EQ(range->total, 4294971392ull);
    const auto unsatisfied = ParseContentRange(L"bytes */6442450944");
    ASSERT_TRUE(unsatisfied);
    EXPECT_FALSE(unsatisfied->satisfied);
    EXPECT_EQ(unsatisfied->total, 6442450944ull);
    EXPECT_EQ(ParseContentRange(L"Bytes 0-9/*")->total, std::nullopt);
}

TEST(ResponseHeaders, TextThatIsNoSizeIsRefused)
{
    for (const wchar_t* text : {L"", L"-1", L"12a", L"1 2", L"18446744073709551616", L"+5"})
        EXPECT_FALSE(ParseContentLength(text)) << text;
    for (const wchar_t* text : {L"bytes 10-5/100", L"bytes 0-99/50", L"bytes */*", L"items 0-1/2",
                                L"bytes 0-/10", L"bytes 0-9", L"bytes 0-9/10 x"})
        EXPECT_FALSE(ParseContentRange(text)) << text;
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
