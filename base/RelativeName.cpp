#include "base/RelativeName.h"

#include "base/Paths.h"
#include "base/Text.h"

#include <array>

namespace names {
namespace {

// The names Windows opens as devices in every folder, also with an extension. COM0, LPT0 and
// the superscript digits count on current systems too; the console's two names open the console.
constexpr std::array<std::wstring_view, 32> kDeviceNames = {
    L"CON",       L"PRN",       L"AUX",    L"NUL",       L"COM0",      L"COM1",      L"COM2",
    L"COM3",      L"COM4",      L"COM5",   L"COM6",      L"COM7",      L"COM8",      L"COM9",
    L"LPT0",      L"LPT1",      L"LPT2",   L"LPT3",      L"LPT4",      L"LPT5",      L"LPT6",
    L"LPT7",      L"LPT8",      L"LPT9",   L"COM\u00B9", L"COM\u00B2", L"COM\u00B3", L"LPT\u00B9",
    L"LPT\u00B2", L"LPT\u00B3", L"CONIN$", L"CONOUT$"};

// The system reads both as separators in the names it is given.
constexpr paths::Separators kSeparators = paths::Separators::BackslashOrSlash;

bool IsRefusedCharacter(wchar_t c) noexcept
{
    return c < 32 || c == L'<' || c == L'>' || c == L':' || c == L'"' || c == L'|' || c == L'?' ||
           c == L'*';
}

bool IsDeviceName(std::wstring_view part) noexcept
{
    // Windows looks only at the part before the first dot, without its trailing spaces.
    part = part.substr(0, part.find(L'.'));
    while (!part.empty() && part.back() == L' ')
        part.remove_suffix(1);
    for (std::wstring_view device : kDeviceNames) {
        if (text::EqualsIgnoringCase(part, device))
            return true;
    }
    return false;
}

bool IsSafePart(std::wstring_view part) noexcept
{
    if (part.empty())
        return true;
    if (part.back() == L'.' || part.back() == L' ')
        return false;
    for (wchar_t c : part) {
        if (IsRefusedCharacter(c))
            return false;
    }
    return !IsDeviceName(part);
}

} // namespace

bool IsSafeRelativeName(std::wstring_view name) noexcept
{
    // A leading separator names the root, a UNC share or a device path; a drive ("C:x") shows
    // by its colon, which no part may hold.
    if (!name.empty() && paths::IsSeparator(name.front(), kSeparators))
        return false;
    size_t start = 0;
    for (;;) {
        size_t end = start;
        while (end < name.size() && !paths::IsSeparator(name[end], kSeparators))
            ++end;
        if (!IsSafePart(name.substr(start, end - start)))
            return false;
        if (end == name.size())
            return true;
        start = end + 1;
    }
}

} // namespace names
