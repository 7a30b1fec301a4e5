#include "tests/support/RegistryKey.h"

#include <atomic>
#include <stdexcept>

namespace test {

TestRegistryKey::TestRegistryKey()
{
    static std::atomic<unsigned> counter{0};
    m_subKey = L"Software\\QUIB-tests\\" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
               std::to_wstring(counter++);
    ::RegDeleteTreeW(HKEY_CURRENT_USER, m_subKey.c_str());
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, m_subKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                          nullptr, m_key.Put(), nullptr) != ERROR_SUCCESS)
        throw std::runtime_error("cannot create the test's registry key");
}

TestRegistryKey::~TestRegistryKey()
{
    m_key.Reset();
    // The shared parent stays: RegCreateKeyEx makes a path one key at a time, and a parent
    // removed by another test between two of those steps would fail that test's creation.
    ::RegDeleteTreeW(HKEY_CURRENT_USER, m_subKey.c_str()); // the key itself too
}

bool SetRegValue(HKEY root, const std::wstring& subKey, const std::wstring& name, DWORD type,
                 std::string_view bytes)
{
    return ::RegSetKeyValueW(root, subKey.c_str(), name.c_str(), type, bytes.data(),
                             static_cast<DWORD>(bytes.size())) == ERROR_SUCCESS;
}

bool ReadRegValue(HKEY root, const std::wstring& subKey, const std::wstring& name, RegValue& value)
{
    UniqueHkey key;
    DWORD size = 0;
    if (::RegOpenKeyExW(root, subKey.c_str(), 0, KEY_READ, key.Put()) != ERROR_SUCCESS ||
        ::RegQueryValueExW(key.Get(), name.c_str(), nullptr, &value.type, nullptr, &size) !=
            ERROR_SUCCESS)
        return false;
    value.bytes.assign(size, '\0');
    return ::RegQueryValueExW(key.Get(), name.c_str(), nullptr, &value.type,
                              reinterpret_cast<BYTE*>(value.bytes.data()),
                              &size) == ERROR_SUCCESS &&
           size == value.bytes.size();
}

std::string TextBytes(std::wstring_view text)
{
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t)) +
           std::string(sizeof(wchar_t), '\0');
}

} // namespace test
