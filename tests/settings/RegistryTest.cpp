#include "settings/Registry.h"

#include "tests/support/RegistryKey.h"

#include <gtest/gtest.h>

#include <sddl.h>

using namespace settings;

namespace {

constexpr long kCurrentUser = 1;

std::string DwordBytes(DWORD value)
{
    return std::string(reinterpret_cast<const char*>(&value), sizeof(value));
}

// Lets everyone read the key and nobody write it, for as long as the guard lives. Wine ignores
// a security descriptor given to RegCreateKeyEx, but enforces one set afterwards.
class ReadOnlyKey {
public:
    ReadOnlyKey(HKEY root, const std::wstring& subKey)
    {
        if (::RegOpenKeyExW(root, subKey.c_str(), 0, READ_CONTROL | WRITE_DAC, m_key.Put()) !=
            ERROR_SUCCESS)
            (void)m_key.Release();
        m_bApplied = m_key && Apply(L"D:P(A;;KR;;;WD)");
    }
    ~ReadOnlyKey()
    {
        if (m_bApplied)
            (void)Apply(L"D:P(A;;KA;;;WD)");
    }
    [[nodiscard]] bool Applied() const { return m_bApplied; }

private:
    bool Apply(const wchar_t* sddl)
    {
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1,
                                                                    &descriptor, nullptr))
            return false;
        const bool ok = ::RegSetKeySecurity(m_key.Get(), DACL_SECURITY_INFORMATION, descriptor) ==
                        ERROR_SUCCESS;
        ::LocalFree(descriptor);
        return ok;
    }
    UniqueHkey m_key;
    bool m_bApplied = false;
};

} // namespace

TEST(RegistryRead, StringValuesComeBackAsStoredWithoutExpanding)
{
    test::TestRegistryKey key;
    ASSERT_TRUE(test::SetRegText(HKEY_CURRENT_USER, key.SubKey(), L"", L"默认值"));
    ASSERT_TRUE(test::SetRegText(HKEY_CURRENT_USER, key.SubKey(), L"Path", L"D:\\游戏"));
    ASSERT_TRUE(test::SetRegValue(HKEY_CURRENT_USER, key.SubKey(), L"Expand", REG_EXPAND_SZ,
                                  test::TextBytes(L"%SystemRoot%\\x")));

    EXPECT_EQ(ReadRegString(kCurrentUser, key.SubKey(), L""), L"默认值")
        << "an empty name reads the key's default value";
    EXPECT_EQ(ReadRegString(kCurrentUser, key.SubKey(), L"Path"), L"D:\\游戏");
    EXPECT_EQ(ReadRegString(kCurrentUser, key.SubKey(), L"Expand"), L"%SystemRoot%\\x");
}

TEST(RegistryRead, AnythingThatCannotBeReadIsEmptyText)
{
    test::TestRegistryKey key;
    ASSERT_TRUE(test::SetRegText(HKEY_CURRENT_USER, key.SubKey(), L"v", L"x"));

    EXPECT_EQ(ReadRegString(kCurrentUser, key.SubKey(), L"missing"), L"");
    EXPECT_EQ(ReadRegString(kCurrentUser, key.SubKey(L"missing"), L"v"), L"");
    EXPECT_EQ(ReadRegString(8, key.SubKey(), L"v"), L"") << "no predefined key at 0x80000008";
    EXPECT_EQ(ReadRegString(9, key.SubKey(), L"v"), L"");
    EXPECT_EQ(ReadRegString(-1, key.SubKey(), L"v"), L"");
}

TEST(RegistryRead, ANegativeRootCannotNameAKeyTheProcessHasOpen)
{
    test::TestRegistryKey key;
    ASSERT_TRUE(test::SetRegText(HKEY_CURRENT_USER, key.SubKey(L"inner"), L"secret", L"s"));
    // 0x80000000 + root wraps round to the value of an ordinary handle for a negative root.
    const auto handle = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(key.Get()));
    ASSERT_LT(handle, 0x80000000u);
    const long wrapping = static_cast<long>(handle - 0x80000000u);
    ASSERT_LT(wrapping, 0);

    EXPECT_EQ(ReadRegString(wrapping, L"inner", L"secret"), L"");
    EXPECT_EQ(RootKeyFromNumber(wrapping), nullptr);
    EXPECT_EQ(RootKeyFromNumber(1), HKEY_CURRENT_USER);
    EXPECT_EQ(RootKeyFromNumber(2), HKEY_LOCAL_MACHINE);
}

TEST(RegistryRead, AValueTheUserMayOnlyReadIsRead)
{
    test::TestRegistryKey key;
    ASSERT_TRUE(test::SetRegText(HKEY_CURRENT_USER, key.SubKey(L"locked"), L"v", L"readable"));
    ReadOnlyKey readOnly(HKEY_CURRENT_USER, key.SubKey(L"locked"));
    ASSERT_TRUE(readOnly.Applied());
    UniqueHkey writable;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, key.SubKey(L"locked").c_str(), 0,
                              KEY_READ | KEY_WRITE, writable.Put()),
              ERROR_ACCESS_DENIED)
        << "the key must refuse write access for this test to mean anything";

    EXPECT_EQ(ReadRegString(kCurrentUser, key.SubKey(L"locked"), L"v"), L"readable");
}

TEST(RegistryRead, TextMustFitTheBufferWithItsNul)
{
    test::TestRegistryKey key;
    const std::wstring fits(kRegTextCapacity - 1, L'字');
    const std::wstring tooLong(kRegTextCapacity, L'字');
    ASSERT_TRUE(test::SetRegText(HKEY_CURRENT_USER, key.SubKey(), L"fits", fits));
    ASSERT_TRUE(test::SetRegText(HKEY_CURRENT_USER, key.SubKey(), L"long", tooLong));
    // The full buffer's worth of characters, stored without a NUL.
    ASSERT_TRUE(test::SetRegValue(HKEY_CURRENT_USER, key.SubKey(), L"full", REG_SZ,
                                  test::TextBytes(tooLong).substr(0, kRegTextCapacity * 2)));

    EXPECT_EQ(ReadRegString(kCurrentUser, key.SubKey(), L"fits"), fits);
    EXPECT_EQ(ReadRegString(kCurrentUser, key.SubKey(), L"long"), L"");
    EXPECT_EQ(ReadRegString(kCurrentUser, key.SubKey(), L"full"), L"");
}

TEST(RegistryRead, OddDataReadsAsTheBytesStoredUpToTheFirstNul)
{
    test::TestRegistryKey key;
    ASSERT_TRUE(test::SetRegValue(HKEY_CURRENT_USER, key.SubKey(), L"noNul", REG_SZ,
                                  std::string("a\0b\0", 4)));
    ASSERT_TRUE(
        test::SetRegValue(HKEY_CURRENT_USER, key.SubKey(), L"number", REG_DWORD, DwordBytes('1')));
    ASSERT_TRUE(test::SetRegValue(HKEY_CURRENT_USER, key.SubKey(), L"empty", REG_SZ, ""));

    EXPECT_EQ(ReadRegString(kCurrentUser, key.SubKey(), L"noNul"), L"ab");
    EXPECT_EQ(ReadRegString(kCurrentUser, key.SubKey(), L"number"), L"1");
    EXPECT_EQ(ReadRegString(kCurrentUser, key.SubKey(), L"empty"), L"");
}

TEST(RegistryQuery, ResultCodesAndLengthsFollowTheStoredData)
{
    test::TestRegistryKey key;
    ASSERT_TRUE(test::SetRegText(HKEY_CURRENT_USER, key.SubKey(), L"text", L"abc"));
    ASSERT_TRUE(
        test::SetRegValue(HKEY_CURRENT_USER, key.SubKey(), L"number", REG_DWORD, DwordBytes(7)));
    ASSERT_TRUE(test::SetRegValue(HKEY_CURRENT_USER, key.SubKey(), L"odd", REG_SZ,
                                  std::string("a\0\0", 3)));
    ASSERT_TRUE(test::SetRegValue(HKEY_CURRENT_USER, key.SubKey(), L"empty", REG_SZ, ""));
    wchar_t buffer[8] = {L'x', L'x', L'x', L'x', L'x', L'x', L'x', L'x'};
    DWORD length = 99;

    EXPECT_EQ(QueryTextValue(key.Get(), L"text", buffer, 8, length), ERROR_SUCCESS);
    EXPECT_EQ(length, 4u) << "characters with the NUL";
    EXPECT_STREQ(buffer, L"abc");
    EXPECT_EQ(QueryTextValue(key.Get(), L"empty", buffer, 8, length), ERROR_SUCCESS);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(buffer[0], L'\0');
    EXPECT_EQ(QueryTextValue(key.Get(), L"number", buffer, 8, length), ERROR_INVALID_DATA);
    EXPECT_EQ(QueryTextValue(key.Get(), L"odd", buffer, 8, length), ERROR_INVALID_DATA);
    EXPECT_EQ(QueryTextValue(key.Get(), L"missing", buffer, 8, length), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(buffer[0], L'\0');
    std::fill(std::begin(buffer), std::end(buffer), L'x');
    EXPECT_EQ(QueryTextValue(key.Get(), L"text", buffer, 2, length), ERROR_MORE_DATA);
    EXPECT_EQ(buffer[0], L'\0') << "a buffer that was too small holds empty text, not leftovers";
}

TEST(RegistryWrite, StoresTextWithItsNulInAnExistingKeyOnly)
{
    test::TestRegistryKey key;
    WriteRegString(kCurrentUser, key.SubKey(), L"Path", L"D:\\游戏");
    WriteRegString(kCurrentUser, key.SubKey(), L"", L"默认");
    WriteRegString(kCurrentUser, key.SubKey(L"missing"), L"v", L"x");
    WriteRegString(8, key.SubKey(), L"root8", L"x");

    test::RegValue value;
    ASSERT_TRUE(test::ReadRegValue(HKEY_CURRENT_USER, key.SubKey(), L"Path", value));
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(value.bytes, test::TextBytes(L"D:\\游戏"));
    EXPECT_EQ(ReadRegString(kCurrentUser, key.SubKey(), L""), L"默认");
    EXPECT_FALSE(test::RegKeyExists(HKEY_CURRENT_USER, key.SubKey(L"missing")))
        << "writing must never create a key";
    EXPECT_FALSE(test::ReadRegValue(HKEY_CURRENT_USER, key.SubKey(), L"root8", value));
}
