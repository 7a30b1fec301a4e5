// Sizes and versions read from response headers: sizes are 64-bit and read from digits alone, and
// a version is kept only in a form that If-Range can send back as it came. What a transfer makes
// of whole answers is in TransferTest.cpp.
#include "download/ResponseHeaders.h"
#include "tests/support/Files.h"

#include <gtest/gtest.h>

namespace {

// What the parser of the named header makes of its text, as text.
std::string Read(std::string_view header, std::wstring_view text)
{
    if (header == "Content-Length") {
        const auto length = download::ParseContentLength(text);
        return length ? std::to_string(*length) : "refused";
    }
    if (header == "Content-Range") {
        const auto range = download::ParseContentRange(text);
        if (!range)
            return "refused";
        return (range->satisfied ? std::to_string(range->first) + "-" + std::to_string(range->last)
                                 : "*") +
               "/" + (range->total ? std::to_string(*range->total) : "*");
    }
    const auto version =
        header == "ETag" ? download::ParseStrongETag(text) : download::ParseLastModified(text);
    return version ? test::Utf8(*version) : "refused";
}

TEST(ResponseHeaders, SizesAreRead64BitVersionsOnlyFromStrongTagsAndPlainDates)
{
    const struct {
        const char* header;
        const wchar_t* text;
        const char* reads;
    } cases[] = {
        {"Content-Length", L"5000000000", "5000000000"},
        {"Content-Length", L" 18446744073709551615 ", "18446744073709551615"},
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
        {"Content-Range", L"bytes 0-99/50", "refused"},
        {"Content-Range", L"bytes */*", "refused"},
        {"Content-Range", L"items 0-1/2", "refused"},
        {"Content-Range", L"bytes 0-/10", "refused"},
        {"Content-Range", L"bytes 0-9", "refused"},
        {"Content-Range", L"bytes 0-9/10 x", "refused"},
        {"ETag", L" \"v1\" ", "\"v1\""},
        {"ETag", L"\"\"", "\"\""},
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

} // namespace
