#include "settings/ConfigFile.h"

#include "base/Win.h"

#include <vector>

namespace settings {

bool TextEquals(std::wstring_view text, std::wstring_view literal) noexcept
{
    return text == literal;
}

std::wstring ReadProfileValue(std::wstring_view file, std::wstring_view section,
                               std::wstring_view key, size_t capacity) noexcept
{
    try {
        if (capacity == 0)
            return {};
        const std::wstring fileText(file), sectionText(section), keyText(key);
        std::vector<wchar_t> buffer(capacity, L'\0');
        ::GetPrivateProfileStringW(sectionText.c_str(), keyText.c_str(), L"", buffer.data(),
                                   static_cast<DWORD>(capacity), fileText.c_str());
        buffer.back() = L'\0';
        return std::wstring(buffer.data());
    } catch (...) {
        return {};
    }
}

bool WriteProfileValue(std::wstring_view file, std::wstring_view section, std::wstring_view key,
                        std::wstring_view value) noexcept
{
    try {
        const std::wstring fileText(file), sectionText(section), keyText(key), valueText(value);
        return ::WritePrivateProfileStringW(sectionText.c_str(), keyText.c_str(),
                                            valueText.c_str(), fileText.c_str()) != FALSE;
    } catch (...) {
        return false;
    }
}

std::wstring ReadSetting(const paths::Places& places, std::wstring_view section,
                         std::wstring_view key, size_t capacity) noexcept
{
    // Without the folder a bare "config.ini" would silently name a file in the Windows folder.
    const std::wstring file = places.ConfigFile();
    return file.empty() ? std::wstring() : ReadProfileValue(file, section, key, capacity);
}

bool WriteSetting(const paths::Places& places, std::wstring_view section, std::wstring_view key,
                  std::wstring_view value) noexcept
{
    const std::wstring file = places.ConfigFile();
    return !file.empty() && WriteProfileValue(file, section, key, value);
}

} // namespace settings
