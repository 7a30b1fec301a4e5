#include "archive/EntryName.h"

#include "base/Win.h"

#include <array>

namespace archive {

namespace {

// The "..\" steps that cleaning skips past, in the order they are looked for.
constexpr std::array<std::wstring_view, 4> kParentSteps = {L"\\..\\", L"\\../", L"/../", L"/..\\"};

} // namespace

bool DecodeEntryName(std::string_view raw, bool utf8, std::span<wchar_t, kMaxName> name) noexcept
{
    name[0] = L'\0';
    if (raw.empty())
        return true;
    if (raw.size() > kMaxName)
        return false;
    const int count =
        ::MultiByteToWideChar(utf8 ? CP_UTF8 : CP_ACP, 0, raw.data(), static_cast<int>(raw.size()),
                              name.data(), static_cast<int>(kMaxName - 1));
    if (count <= 0)
        return false;
    const std::wstring_view decoded(name.data(), static_cast<size_t>(count));
    name[static_cast<size_t>(count)] = L'\0';
    return decoded.find(L'\0') == std::wstring_view::npos;
}

std::wstring_view CleanEntryName(std::wstring_view name) noexcept
{
    for (;;) {
        if (name.size() >= 2 && name[0] != L'\0' && name[1] == L':') {
            name.remove_prefix(2);
            continue;
        }
        if (!name.empty() && paths::IsSeparator(name[0], kNameSeparators)) {
            name.remove_prefix(1);
            continue;
        }
        bool stepped = false;
        for (std::wstring_view step : kParentSteps) {
            const size_t at = name.find(step);
            if (at != std::wstring_view::npos) {
                name.remove_prefix(at + step.size());
                stepped = true;
                break;
            }
        }
        if (!stepped)
            return name;
    }
}

bool EndsWithSeparator(std::wstring_view name) noexcept
{
    return !name.empty() && paths::IsSeparator(name.back(), kNameSeparators);
}

} // namespace archive
