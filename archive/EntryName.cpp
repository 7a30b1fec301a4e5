#include "archive/EntryName.h"

#include "base/Win.h"

#include <array>

namespace archive {

namespace {

// The "..\" steps that cleaning skips past, in the order they are looked for.
constexpr std::array<std::wstring_view, 4> kParentSteps = {L"\\..\\", L"\\../", L"/../", L"/..\\"};

// Names Windows opens as devices whatever folder they are in, with or without an extension.
constexpr std::array<std::wstring_view, 22> kDeviceNames = {
    L"CON",  L"PRN",  L"AUX",  L"NUL",  L"COM1", L"COM2", L"COM3", L"COM4",
    L"COM5", L"COM6", L"COM7", L"COM8", L"COM9", L"LPT1", L"LPT2", L"LPT3",
    L"LPT4", L"LPT5", L"LPT6", L"LPT7", L"LPT8", L"LPT9"};

bool IsRefusedCharacter(wchar_t c) noexcept
{
    return c < 32 || c == L'<' || c == L'>' || c == L':' || c == L'"' || c == L'|' || c == L'?' ||
           c == L'*';
}

bool IsDeviceName(std::wstring_view part) noexcept
{
    // Windows looks only at the part before the first dot, ignoring trailing spaces.
    part = part.substr(0, part.find(L'.'));
    while (!part.empty() && part.back() == L' ')
        part.remove_suffix(1);
    for (std::wstring_view device : kDeviceNames) {
        if (part.size() == device.size() &&
            ::CompareStringOrdinal(part.data(), static_cast<int>(part.size()), device.data(),
                                   static_cast<int>(device.size()), TRUE) == CSTR_EQUAL)
            return true;
    }
    return false;
}

bool IsSafePart(std::wstring_view part) noexcept
{
    // Windows drops a name's trailing dots and spaces, so "Launch.exe." would replace
    // "Launch.exe" and "..." would be the folder itself; "." and ".." end with a dot too.
    if (!part.empty() && (part.back() == L'.' || part.back() == L' '))
        return false;
    for (wchar_t c : part) {
        if (IsRefusedCharacter(c))
            return false;
    }
    return !IsDeviceName(part);
}

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
        if (!name.empty() && IsSeparator(name[0])) {
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

bool IsSeparator(wchar_t c) noexcept { return c == L'\\' || c == L'/'; }

bool EndsWithSeparator(std::wstring_view name) noexcept
{
    return !name.empty() && IsSeparator(name.back());
}

bool IsAbsoluteName(std::wstring_view name) noexcept
{
    return (!name.empty() && IsSeparator(name[0])) || (name.size() >= 2 && name[1] == L':');
}

bool IsSafeRelativeName(std::wstring_view name) noexcept
{
    if (IsAbsoluteName(name))
        return false;
    size_t start = 0;
    for (;;) {
        size_t end = start;
        while (end < name.size() && !IsSeparator(name[end]))
            ++end;
        if (!IsSafePart(name.substr(start, end - start)))
            return false;
        if (end == name.size())
            return true;
        start = end + 1;
    }
}

} // namespace archive
