#pragma once
// Reading the sizes a server announces, and the names it gives the version of its file. Sizes are
// read from their text as 64-bit numbers: WinHTTP's numeric header query stops at 32 bits, and
// files of 4 GiB and more must resume.
#include <cstdint>
#include <optional>
#include <string_view>

namespace download {

// "Content-Length: 40960": digits only, spaces around them allowed; nothing on anything else.
[[nodiscard]] std::optional<uint64_t> ParseContentLength(std::wstring_view text) noexcept;

// "Content-Range: bytes 1000-40959/40960" (the total may be "*"), or "bytes */40960" with a 416.
// Nothing for numbers beyond 64 bits, a last byte before the first, or a last byte that is the
// largest 64-bit number (the length it makes would wrap to 0).
struct ContentRange {
    bool satisfied = false; // false for the "*/total" form
    uint64_t first = 0;     // first and last byte of the body, when satisfied
    uint64_t last = 0;
    std::optional<uint64_t> total;
};
[[nodiscard]] std::optional<ContentRange> ParseContentRange(std::wstring_view text) noexcept;

// "Accept-Ranges: bytes": whether the list names byte ranges ("none" and other units do not).
[[nodiscard]] bool AcceptsByteRanges(std::wstring_view text) noexcept;

// "ETag: "v1"": the tag with its quotes, when it is strong and well formed; nothing for a weak
// tag (W/"v1"), which names no exact bytes, and for any other text.
[[nodiscard]] std::optional<std::wstring_view> ParseStrongETag(std::wstring_view text) noexcept;

// "Last-Modified: Thu, 02 Jan 2020 00:00:00 GMT": the date as sent, when it is printable ASCII
// that begins with a day's name, so that If-Range cannot take it for a tag or a second header.
[[nodiscard]] std::optional<std::wstring_view> ParseLastModified(std::wstring_view text) noexcept;

} // namespace download
