#include "tests/archive/ZipFixtures.h"

#include "base/Unique.h"
#include "tests/support/Files.h"

#include <bcrypt.h>

#include <vector>

namespace test {

namespace {

struct AlgorithmTraits {
    using Handle = BCRYPT_ALG_HANDLE;
    static BCRYPT_ALG_HANDLE Empty() noexcept { return nullptr; }
    static void Close(BCRYPT_ALG_HANDLE h) noexcept { ::BCryptCloseAlgorithmProvider(h, 0); }
};
struct HashTraits {
    using Handle = BCRYPT_HASH_HANDLE;
    static BCRYPT_HASH_HANDLE Empty() noexcept { return nullptr; }
    static void Close(BCRYPT_HASH_HANDLE h) noexcept { ::BCryptDestroyHash(h); }
};

void ListInto(const std::wstring& folder, const std::string& prefix, std::set<std::string>& out)
{
    WIN32_FIND_DATAW found;
    UniqueFindHandle search(::FindFirstFileW((folder + L"*").c_str(), &found));
    if (!search)
        return;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        const std::string relative = prefix + Utf8(name);
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            out.insert(relative + "/");
            ListInto(folder + name + L"\\", relative + "/", out);
        } else {
            out.insert(relative);
        }
    } while (::FindNextFileW(search.Get(), &found));
}

std::uint64_t ToTicks(const FILETIME& time)
{
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

} // namespace

std::wstring Fixture(std::wstring_view name)
{
    return ProgramFolder() + L"zip-fixtures\\" + std::wstring(name);
}

std::set<std::string> ListTree(const std::wstring& folder)
{
    std::set<std::string> out;
    ListInto(folder.back() == L'\\' ? folder : folder + L"\\", "", out);
    return out;
}

std::string Sha256Hex(std::string_view bytes)
{
    Unique<AlgorithmTraits> algorithm;
    Unique<HashTraits> hash;
    unsigned char digest[32] = {};
    if (!BCRYPT_SUCCESS(
            ::BCryptOpenAlgorithmProvider(algorithm.Put(), BCRYPT_SHA256_ALGORITHM, nullptr, 0)) ||
        !BCRYPT_SUCCESS(
            ::BCryptCreateHash(algorithm.Get(), hash.Put(), nullptr, 0, nullptr, 0, 0)) ||
        !BCRYPT_SUCCESS(::BCryptHashData(hash.Get(),
                                         reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data())),
                                         static_cast<ULONG>(bytes.size()), 0)) ||
        !BCRYPT_SUCCESS(::BCryptFinishHash(hash.Get(), digest, sizeof(digest), 0)))
        return "(hash failed)";
    static const char kHex[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char byte : digest) {
        hex += kHex[byte >> 4];
        hex += kHex[byte & 15];
    }
    return hex;
}

std::string Snapshot(const std::wstring& folder)
{
    const std::wstring base = folder.back() == L'\\' ? folder : folder + L"\\";
    constexpr std::uint32_t kDecided = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                       FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY;
    std::string lines;
    for (const std::string& path : ListTree(base)) {
        const std::wstring full = base + Wide(path);
        // Appended piece by piece: GCC 12 warns falsely about chains of string operator+.
        lines.append(path).append(" ");
        lines.append(std::to_string(AttributesOf(full) & kDecided));
        // A folder's times are the file system's: the archive decides only those of files.
        if (path.back() != '/') {
            lines.append(" ").append(std::to_string(TimesOf(full).write));
            lines.append(" ").append(Sha256Hex(ReadFileBytes(full)));
        }
        lines += "\n";
    }
    return lines;
}

std::uint32_t AttributesOf(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()); }

FileTimes TimesOf(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return {};
    return {ToTicks(data.ftCreationTime), ToTicks(data.ftLastAccessTime),
            ToTicks(data.ftLastWriteTime)};
}

std::uint64_t UtcFileTime(int year, int month, int day, int hour, int minute, int second)
{
    SYSTEMTIME calendar = {};
    calendar.wYear = static_cast<WORD>(year);
    calendar.wMonth = static_cast<WORD>(month);
    calendar.wDay = static_cast<WORD>(day);
    calendar.wHour = static_cast<WORD>(hour);
    calendar.wMinute = static_cast<WORD>(minute);
    calendar.wSecond = static_cast<WORD>(second);
    FILETIME time = {};
    ::SystemTimeToFileTime(&calendar, &time);
    return ToTicks(time);
}

std::uint64_t UnixFileTime(std::int64_t seconds)
{
    return static_cast<std::uint64_t>(seconds + 11644473600LL) * 10000000ULL;
}

} // namespace test
