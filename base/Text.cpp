#include "base/Text.h"

#include "base/Win.h"

namespace text {

std::string ToCodePage(std::wstring_view text, unsigned codePage) noexcept
{
    try {
        if (text.empty())
            return {};
        const int count = ::WideCharToMultiByte(codePage, 0, text.data(),
                                                static_cast<int>(text.size()), nullptr, 0,
                                                nullptr, nullptr);
        if (count <= 0)
            return {};
        std::string result(static_cast<size_t>(count), '\0');
        ::WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()),
                              result.data(), count, nullptr, nullptr);
        return result;
    } catch (...) {
        return {};
    }
}

std::string ToUtf8(std::wstring_view text) noexcept { return ToCodePage(text, CP_UTF8); }

bool EqualsIgnoringCase(std::wstring_view a, std::wstring_view b) noexcept
{
    return a.size() == b.size() &&
           ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                  static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

} // namespace text
