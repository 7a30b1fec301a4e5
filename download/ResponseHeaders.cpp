#include "download/ResponseHeaders.h"

#include <algorithm>
#include <limits>

namespace download {
namespace {

bool IsSpace(wchar_t c) noexcept { return c == L' ' || c == L'\t'; }

// A reader over header text that takes numbers and expected characters off its front.
class HeaderText {
public:
    explicit HeaderText(std::wstring_view text) noexcept : m_text(text) {}

    void SkipSpaces() noexcept
    {
        while (!m_text.empty() && IsSpace(m_text.front()))
            m_text.remove_prefix(1);
    }
    // Letters match without regard to case: range units are case-insensitive.
    [[nodiscard]] bool Take(std::wstring_view expected) noexcept
    {
        if (m_text.size() < expected.size())
            return false;
        for (size_t i = 0; i < expected.size(); ++i) {
            if (LowerAscii(m_text[i]) != LowerAscii(expected[i]))
                return false;
        }
        m_text.remove_prefix(expected.size());
        return true;
    }
    // A decimal number that fits 64 bits; nothing on an empty, signed or too long number.
    [[nodiscard]] std::optional<uint64_t> TakeNumber() noexcept
    {
        constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();
        uint64_t value = 0;
        size_t digits = 0;
        while (digits < m_text.size() && m_text[digits] >= L'0' && m_text[digits] <= L'9') {
            const unsigned digit = static_cast<unsigned>(m_text[digits] - L'0');
            if (value > (kMax - digit) / 10)
                return std::nullopt;
            value = value * 10 + digit;
            ++digits;
        }
        if (digits == 0)
            return std::nullopt;
        m_text.remove_prefix(digits);
        return value;
    }
    [[nodiscard]] bool AtEnd() noexcept
    {
        SkipSpaces();
        return m_text.empty();
    }

private:
    static wchar_t LowerAscii(wchar_t c) noexcept
    {
        return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
    }

    std::wstring_view m_text;
};

// What is left of a header's text without the spaces and tabs around it.
std::wstring_view Trimmed(std::wstring_view text) noexcept
{
    while (!text.empty() && IsSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

// The characters of an entity tag between its quotes, ASCII only: the tag goes back to the
// server as it came.
bool IsTagCharacter(wchar_t c) noexcept { return c == 0x21 || (c >= 0x23 && c <= 0x7E); }

bool IsLetter(wchar_t c) noexcept { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

} // namespace

std::optional<uint64_t> ParseContentLength(std::wstring_view text) noexcept
{
    HeaderText reader(text);
    reader.SkipSpaces();
    const auto value = reader.TakeNumber();
    if (!value || !reader.AtEnd())
        return std::nullopt;
    return value;
}

std::optional<ContentRange> ParseContentRange(std::wstring_view text) noexcept
{
    HeaderText reader(text);
    reader.SkipSpaces();
    if (!reader.Take(L"bytes"))
        return std::nullopt;
    reader.SkipSpaces();
    ContentRange range;
    if (reader.Take(L"*")) {
        range.satisfied = false;
    } else {
        const auto first = reader.TakeNumber();
        if (!first || !reader.Take(L"-"))
            return std::nullopt;
        const auto last = reader.TakeNumber();
        // The byte after the body must have a number: it is the length the file reaches.
        if (!last || *last < *first || *last == std::numeric_limits<uint64_t>::max())
            return std::nullopt;
        range.satisfied = true;
        range.first = *first;
        range.last = *last;
    }
    if (!reader.Take(L"/"))
        return std::nullopt;
    if (!reader.Take(L"*")) {
        range.total = reader.TakeNumber();
        if (!range.total)
            return std::nullopt;
        if (range.satisfied && range.last >= *range.total)
            return std::nullopt; // a body that ends past the file's end
    } else if (!range.satisfied) {
        return std::nullopt; // "*/*" says nothing
    }
    if (!reader.AtEnd())
        return std::nullopt;
    return range;
}

bool AcceptsByteRanges(std::wstring_view text) noexcept
{
    for (size_t start = 0; start <= text.size();) {
        const size_t comma = std::min(text.find(L',', start), text.size());
        HeaderText unit(Trimmed(text.substr(start, comma - start)));
        if (unit.Take(L"bytes") && unit.AtEnd())
            return true;
        start = comma + 1;
    }
    return false;
}

std::optional<std::wstring_view> ParseStrongETag(std::wstring_view text) noexcept
{
    const std::wstring_view tag = Trimmed(text);
    if (tag.size() < 2 || tag.front() != L'"' || tag.back() != L'"')
        return std::nullopt;
    for (wchar_t c : tag.substr(1, tag.size() - 2)) {
        if (!IsTagCharacter(c))
            return std::nullopt;
    }
    return tag;
}

std::optional<std::wstring_view> ParseLastModified(std::wstring_view text) noexcept
{
    const std::wstring_view date = Trimmed(text);
    if (date.empty() || !IsLetter(date.front()))
        return std::nullopt;
    for (wchar_t c : date) {
        if (c < 0x20 || c > 0x7E || c == L'"')
            return std::nullopt;
    }
    return date;
}

} // namespace download
