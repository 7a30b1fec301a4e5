#include "settings/ConfigFile.h"

#include "base/TemporaryFile.h"
#include "base/Win.h"

#include <vector>

namespace settings {
namespace {

constexpr wchar_t kScratchPrefix[] = L"qib";

// What the profile functions would read as another entry, whatever the value: such an entry
// must not be written even when its value is empty and so reads back as if it were there.
bool BreaksTheLine(std::wstring_view section, std::wstring_view key,
                   std::wstring_view value) noexcept
{
    for (const std::wstring_view text : {section, key, value})
        if (text.find_first_of(L"\r\n") != std::wstring_view::npos)
            return true;
    const size_t keyStart = key.find_first_not_of(L" \t");
    return key.find(L'=') != std::wstring_view::npos ||
           (keyStart != std::wstring_view::npos && key[keyStart] == L'[');
}

} // namespace

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

bool ReadsBackAsWritten(std::wstring_view file, std::wstring_view section,
                        std::wstring_view key, std::wstring_view value, size_t capacity) noexcept
{
    try {
        if (BreaksTheLine(section, key, value))
            return false;
        // GetTempPath's longest answer, with room for its terminating NUL.
        constexpr DWORD kTempFolderCapacity = MAX_PATH + 1;
        wchar_t folder[kTempFolderCapacity] = {};
        const DWORD length = ::GetTempPathW(kTempFolderCapacity, folder);
        TemporaryFile scratch;
        if (length == 0 || length >= kTempFolderCapacity ||
            !scratch.CreateIn(folder, kScratchPrefix))
            return false;
        scratch.Close();
        const std::wstring fileText(file);
        // Without the file the write below creates one from nothing, as the empty scratch is.
        if (::GetFileAttributesW(fileText.c_str()) != INVALID_FILE_ATTRIBUTES &&
            !::CopyFileW(fileText.c_str(), scratch.Path().c_str(), FALSE))
            return false;
        return WriteProfileValue(scratch.Path(), section, key, value) &&
               ReadProfileValue(scratch.Path(), section, key, capacity) == value;
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
