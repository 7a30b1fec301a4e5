#include "settings/Registry.h"

#include <algorithm>
#include <cwchar>
#include <vector>

namespace settings {
namespace {

// Every predefined root lies at 0x80000000 and above; a handle value below that would be an
// ordinary open handle of this process, which a page must not be able to name.
constexpr DWORD kPredefinedRootBase = 0x80000000;

// A value that keeps growing between the size query and the read is given up as empty text.
constexpr int kLongValueTries = 3;

// The page names its root by a number; one outside the predefined keys opens nothing.
UniqueHkey OpenNumberedKey(long root, std::wstring_view subKey, REGSAM access) noexcept
{
    HKEY rootKey = RootKeyFromNumber(root);
    return rootKey ? OpenRegKey(rootKey, subKey, access) : UniqueHkey();
}

} // namespace

UniqueHkey OpenRegKey(HKEY root, std::wstring_view subKey, REGSAM access) noexcept
{
    UniqueHkey key;
    try {
        const std::wstring subKeyText(subKey);
        // On failure the platform hands back no key to close.
        if (::RegOpenKeyExW(root, subKeyText.c_str(), 0, access, key.Put()) != ERROR_SUCCESS)
            (void)key.Release();
    } catch (...) {
    }
    return key;
}

HKEY RootKeyFromNumber(long root) noexcept
{
    if (root < 0)
        return nullptr;
    // The predefined keys are 32-bit values sign-extended to the handle's width.
    const DWORD value = kPredefinedRootBase + static_cast<DWORD>(root);
    return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(static_cast<LONG>(value)));
}

LSTATUS QueryTextValue(HKEY key, const wchar_t* valueName, wchar_t* buffer, DWORD capacity,
                       DWORD& length) noexcept
{
    length = 0;
    if (!buffer || capacity == 0 || capacity > MAXDWORD / sizeof(wchar_t))
        return ERROR_INVALID_PARAMETER;
    DWORD type = REG_NONE;
    DWORD bytes = capacity * sizeof(wchar_t);
    const LSTATUS status =
        ::RegQueryValueExW(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &bytes);
    if (status != ERROR_SUCCESS) {
        std::fill_n(buffer, capacity, L'\0');
        return status;
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return ERROR_INVALID_DATA;
    if (bytes == 0) {
        buffer[0] = L'\0';
        return ERROR_SUCCESS;
    }
    if (bytes % sizeof(wchar_t) != 0 || buffer[bytes / sizeof(wchar_t) - 1] != L'\0')
        return ERROR_INVALID_DATA;
    length = bytes / sizeof(wchar_t);
    return ERROR_SUCCESS;
}

void ReleaseRegKey(UniqueHkey& key) noexcept { key.Reset(); }

std::wstring ReadRegString(long root, std::wstring_view subKey,
                           std::wstring_view valueName) noexcept
{
    try {
        const std::wstring nameText(valueName);
        // Reading needs no more than read access: a value the user may only read still reads.
        UniqueHkey key = OpenNumberedKey(root, subKey, KEY_READ);
        if (!key)
            return {};
        // Zero-filled, so that text stored without its NUL still ends inside the buffer; the
        // result code is not needed beyond a value too large, since a failed query leaves
        // empty text behind.
        std::vector<wchar_t> buffer(kRegTextCapacity, L'\0');
        DWORD length = 0;
        LSTATUS status = QueryTextValue(key.Get(), nameText.c_str(), buffer.data(),
                                        kRegTextCapacity, length);
        // A longer value is read whole, as SetRegString wrote it, and so is one that fills the
        // buffer without a NUL of its own: the buffer takes the size the value has now, with
        // room for the NUL. It may grow meanwhile.
        const auto unread = [&] {
            return status == ERROR_MORE_DATA ||
                   ::wcsnlen(buffer.data(), buffer.size()) == buffer.size();
        };
        for (int tries = 0; unread() && tries < kLongValueTries; ++tries) {
            DWORD bytes = 0;
            if (::RegQueryValueExW(key.Get(), nameText.c_str(), nullptr, nullptr, nullptr,
                                   &bytes) != ERROR_SUCCESS)
                break;
            buffer.assign(bytes / sizeof(wchar_t) + 2, L'\0');
            status = QueryTextValue(key.Get(), nameText.c_str(), buffer.data(),
                                    static_cast<DWORD>(buffer.size()), length);
        }
        ReleaseRegKey(key);
        const size_t textLength = ::wcsnlen(buffer.data(), buffer.size());
        if (textLength == buffer.size())
            return {};
        return std::wstring(buffer.data(), textLength);
    } catch (...) {
        return {};
    }
}

void WriteRegString(long root, std::wstring_view subKey, std::wstring_view valueName,
                    std::wstring_view text) noexcept
{
    HKEY rootKey = RootKeyFromNumber(root);
    if (rootKey)
        WriteRegStringBelow(rootKey, subKey, valueName, text);
}

void WriteRegStringBelow(HKEY root, std::wstring_view subKey, std::wstring_view valueName,
                         std::wstring_view text) noexcept
{
    try {
        if (text.size() >= MAXDWORD / sizeof(wchar_t))
            return;
        const std::wstring nameText(valueName), data(text);
        UniqueHkey key = OpenRegKey(root, subKey, KEY_WRITE);
        if (!key)
            return;
        const DWORD bytes = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));
        (void)::RegSetValueExW(key.Get(), nameText.c_str(), 0, REG_SZ,
                               reinterpret_cast<const BYTE*>(data.c_str()), bytes);
    } catch (...) {
    }
}

} // namespace settings
