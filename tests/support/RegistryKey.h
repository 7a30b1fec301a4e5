#pragma once
// A per-user registry key of one test, under HKCU\Software\QUIB-tests, deleted with everything
// below it before the test uses it and after the test ends; values as they are stored.
#include "base/Unique.h"

#include <string>
#include <string_view>

namespace test {

class TestRegistryKey {
public:
    TestRegistryKey();
    ~TestRegistryKey();

    // The key's path under HKEY_CURRENT_USER, or of a key below it.
    [[nodiscard]] std::wstring SubKey(std::wstring_view child = {}) const
    {
        return child.empty() ? m_subKey : m_subKey + L"\\" + std::wstring(child);
    }
    // The key itself, open with full access.
    [[nodiscard]] HKEY Get() const noexcept { return m_key.Get(); }

private:
    std::wstring m_subKey;
    UniqueHkey m_key;
};

struct RegValue {
    DWORD type = REG_NONE;
    std::string bytes; // the stored data, unchanged
};

// Writes raw data of any type; creates the key as needed.
[[nodiscard]] bool SetRegValue(HKEY root, const std::wstring& subKey, const std::wstring& name,
                               DWORD type, std::string_view bytes);
// False when the key or the value is missing.
[[nodiscard]] bool ReadRegValue(HKEY root, const std::wstring& subKey, const std::wstring& name,
                                RegValue& value);
// UTF-16 text with its terminating NUL, as REG_SZ stores it.
[[nodiscard]] std::string TextBytes(std::wstring_view text);

} // namespace test
