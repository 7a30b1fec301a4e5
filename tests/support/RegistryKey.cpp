#include "tests/support/RegistryKey.h"

#include <atomic>
#include <stdexcept>
#include <vector>

namespace test {
namespace {

constexpr wchar_t kTestsRoot[] = L"Software\\QUIB-tests";

} // namespace

TestRegistryKey::TestRegistryKey()
{
    static std::atomic<unsigned> counter{0};
    m_subKey = std::wstring(kTestsRoot) + L"\\" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
               std::to_wstring(counter++);
    ::RegDeleteTreeW(HKEY_CURRENT_USER, m_subKey.c_str());
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, m_subKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                          nullptr, m_key.Put(), nullptr) != ERROR_SUCCESS)
        throw std::runtime_error("cannot create the test's registry key");
}

TestRegistryKey::~TestRegistryKey()
{
    m_key.Reset();
    ::RegDeleteTreeW(HKEY_CURRENT_USER, m_subKey.c_str());
    ::RegDeleteKeyW(HKEY_CURRENT_USER, m_subKey.c_str());
    // The shared parent stays: RegCreateKeyEx makes a path one key at a time, and a parent
    // removed by another test between two of those steps would fail that test's creation.
}

bool SetRegValue(HKEY root, const std::wstring& subKey, const std::wstring& name, DWORD type,
                 std::string_view bytes)
{
    return ::RegSetKeyValueW(root, subKey.c_str(), name.c_str(), type, bytes.data(),
                             static_cast<DWORD>(bytes.size())) == ERROR_SUCCESS;
}

bool SetRegText(HKEY root, const std::wstring& subKey, const std::wstring& name,
                std::wstring_view text)
{
    return SetRegValue(root, subKey, name, REG_SZ, TextBytes(text));
}

bool ReadRegValue(HKEY root, const std::wstring& subKey, const std::wstring& name, RegValue& value)
{
    UniqueHkey key;
    if (::RegOpenKeyExW(root, subKey.c_str(), 0, KEY_READ, key.Put()) != ERROR_SUCCESS) {
        (void)key.Release();
        return false;
    }
    DWORD size = 0;
    if (::RegQueryValueExW(key.Get(), name.c_str(), nullptr, &value.type, nullptr, &size) !=
        ERROR_SUCCESS)
        return false;
    value.bytes.assign(size, '\0');
    return ::RegQueryValueExW(key.Get(), name.c_str(), nullptr, &value.type,
                              reinterpret_cast<BYTE*>(value.bytes.data()),
                              &size) == ERROR_SUCCESS &&
           size == value.bytes.size();
}

bool RegKeyExists(HKEY root, const std::wstring& subKey)
{
    UniqueHkey key;
    if (::RegOpenKeyExW(root, subKey.c_str(), 0, KEY_READ, key.Put()) == ERROR_SUCCESS)
        return true;
    (void)key.Release();
    return false;
}

std::string TextBytes(std::wstring_view text)
{
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t)) +
           std::string(sizeof(wchar_t), '\0');
}

SavedRegValue::SavedRegValue(HKEY root, std::wstring subKey, std::wstring name)
    : m_root(root), m_subKey(std::move(subKey)), m_name(std::move(name))
{
    m_bHadValue = ReadRegValue(m_root, m_subKey, m_name, m_saved);
    ::RegDeleteKeyValueW(m_root, m_subKey.c_str(), m_name.c_str());
}

SavedRegValue::~SavedRegValue()
{
    if (m_bHadValue)
        (void)SetRegValue(m_root, m_subKey, m_name, m_saved.type, m_saved.bytes);
    else
        ::RegDeleteKeyValueW(m_root, m_subKey.c_str(), m_name.c_str());
}

} // namespace test
