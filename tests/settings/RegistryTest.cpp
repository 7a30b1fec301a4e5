// Registry strings under a per-user key of the test's own.
#include "settings/Registry.h"

#include "tests/support/Files.h"
#include "tests/support/RegistryKey.h"

#include <gtest/gtest.h>

#include <sddl.h>

#include <cwchar>

using namespace settings;

namespace {

constexpr long kCurrentUser = 1; // the page's number for HKEY_CURRENT_USER

using UniqueLocal = Unique<NullIsEmpty<HLOCAL, &::LocalFree>>;

// Wine ignores a security descriptor given to RegCreateKeyEx, but enforces one set afterwards.
bool SetAccess(HKEY key, const wchar_t* sddl)
{
    UniqueLocal descriptor;
    return ::ConvertStringSecurityDescriptorToSecurityDescriptorW(
               sddl, SDDL_REVISION_1, reinterpret_cast<PSECURITY_DESCRIPTOR*>(descriptor.Put()),
               nullptr) &&
           ::RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor.Get()) == ERROR_SUCCESS;
}

} // namespace

TEST(Registry, RootNumbersNameOnlyThePredefinedKeys)
{
    const HKEY roots[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER,     HKEY_LOCAL_MACHINE,
                          HKEY_USERS,        HKEY_PERFORMANCE_DATA, HKEY_CURRENT_CONFIG,
                          HKEY_DYN_DATA};
    for (long n = -1; n < 7; ++n)
        EXPECT_EQ(RootKeyFromNumber(n), n < 0 ? nullptr : roots[n]) << "root " << n;
}

// Read from a key the user may only read; queried into a buffer of 8 characters.
TEST(Registry, StringValuesReadWholeAsStoredAndAnythingElseAsEmptyText)
{
    test::TestRegistryKey key;
    const std::wstring fits(kRegTextCapacity - 1, L'字'), tooLong(kRegTextCapacity, L'字');
    const struct {
        const wchar_t* name;
        DWORD type; // REG_NONE: not stored
        std::string bytes;
        std::wstring read; // by ReadRegString
        LSTATUS query;     // by QueryTextValue
    } values[] = {
        {L"Path", REG_SZ, test::TextBytes(L"D:\\游戏"), L"D:\\游戏", ERROR_SUCCESS},
        {L"Expand", REG_EXPAND_SZ, test::TextBytes(L"%TMP%"), L"%TMP%", ERROR_SUCCESS},
        {L"fits", REG_SZ, test::TextBytes(fits), fits, ERROR_MORE_DATA},
        {L"long", REG_SZ, test::TextBytes(tooLong), tooLong, ERROR_MORE_DATA},
        {L"no NUL", REG_SZ, test::TextBytes(tooLong).substr(0, kRegTextCapacity * 2), tooLong,
         ERROR_MORE_DATA},
        {L"odd", REG_SZ, std::string("a\0\0\0\0", 5), L"a", ERROR_INVALID_DATA},
        {L"empty", REG_SZ, "", L"", ERROR_SUCCESS},
        {L"number", REG_DWORD, std::string("1\0\0\0", 4), L"1", ERROR_INVALID_DATA},
        {L"missing", REG_NONE, "", L"", ERROR_FILE_NOT_FOUND},
    };
    for (const auto& v : values)
        ASSERT_TRUE(v.type == REG_NONE ||
                    test::SetRegValue(HKEY_CURRENT_USER, key.SubKey(), v.name, v.type, v.bytes));
    ASSERT_TRUE(SetAccess(key.Get(), L"D:P(A;;KR;;;WD)"));
    UniqueHkey writable;
    EXPECT_EQ(
        ::RegOpenKeyExW(HKEY_CURRENT_USER, key.SubKey().c_str(), 0, KEY_WRITE, writable.Put()),
        ERROR_ACCESS_DENIED)
        << "the key must refuse write access for this test to mean anything";

    for (const auto& v : values) {
        SCOPED_TRACE("value '" + test::Utf8(v.name) + "'");
        EXPECT_EQ(ReadRegString(kCurrentUser, key.SubKey(), v.name), v.read);
        wchar_t buffer[8] = {L'x', L'x', L'x', L'x', L'x', L'x', L'x', L'x'};
        DWORD length = 99;
        EXPECT_EQ(QueryTextValue(key.Get(), v.name, buffer, 8, length), v.query);
        if (v.query == ERROR_INVALID_DATA)
            continue;
        const std::wstring text = v.query == ERROR_SUCCESS ? v.read : L"";
        EXPECT_EQ(std::wstring(buffer, ::wcsnlen(buffer, 8)), text) << "no leftovers";
        EXPECT_EQ(length, text.empty() ? 0 : text.size() + 1) << "characters with the NUL";
    }
    for (long root : {7L, 8L, -1L})
        EXPECT_EQ(ReadRegString(root, key.SubKey(), L"Path"), L"") << "root " << root;
    EXPECT_EQ(ReadRegString(kCurrentUser, key.SubKey(L"missing"), L"Path"), L"");
    EXPECT_TRUE(SetAccess(key.Get(), L"D:P(A;;KA;;;WD)"));
}
