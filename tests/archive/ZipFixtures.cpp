#include "tests/archive/ZipFixtures.h"

#include "base/Unique.h"
#include "tests/support/Files.h"

#include <bcrypt.h>
#include <gtest/gtest.h>

namespace test {

std::wstring Fixture(std::wstring_view name)
{
    return ProgramFolder() + L"zip-fixtures\\" + std::wstring(name);
}

std::string Sha256Hex(std::string_view bytes)
{
    // The provider is opened once and kept for the run.
    static const BCRYPT_ALG_HANDLE sha256 = [] {
        BCRYPT_ALG_HANDLE opened = nullptr;
        (void)::BCryptOpenAlgorithmProvider(&opened, BCRYPT_SHA256_ALGORITHM, nullptr, 0);
        return opened;
    }();
    BCRYPT_HASH_HANDLE hash = nullptr;
    unsigned char digest[32] = {};
    const bool hashed =
        sha256 && BCRYPT_SUCCESS(::BCryptCreateHash(sha256, &hash, nullptr, 0, nullptr, 0, 0)) &&
        BCRYPT_SUCCESS(::BCryptHashData(hash, PUCHAR(const_cast<char*>(bytes.data())),
                                        ULONG(bytes.size()), 0)) &&
        BCRYPT_SUCCESS(::BCryptFinishHash(hash, digest, sizeof(digest), 0));
    if (hash)
        ::BCryptDestroyHash(hash);
    std::string hex = hashed ? "" : "(hash failed)";
    for (unsigned char byte : digest) {
        hex += "0123456789abcdef"[byte >> 4];
        hex += "0123456789abcdef"[byte & 15];
    }
    return hex;
}

std::string Shown(const std::string& bytes)
{
    return bytes.size() <= 64 ? bytes : std::to_string(bytes.size()) + " bytes " + Sha256Hex(bytes);
}

std::set<std::string> Listing(const std::wstring& folder, bool times)
{
    if (!DirectoryExists(folder))
        return {"no folder"};
    std::set<std::string> lines;
    for (const std::string& path : TreeBelow(folder)) {
        const std::wstring full = folder + Wide(path);
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        (void)::GetFileAttributesExW(full.c_str(), GetFileExInfoStandard, &data);
        std::string line = path.back() == '/' ? path : path + "=" + Shown(ReadFileBytes(full));
        for (const auto& [bit, mark] : {std::pair{FILE_ATTRIBUTE_READONLY, " +R"},
                                        {FILE_ATTRIBUTE_HIDDEN, " +H"},
                                        {FILE_ATTRIBUTE_SYSTEM, " +S"}})
            line += (data.dwFileAttributes & bit) ? mark : "";
        // A folder's times are the file system's: the archive decides only those of files.
        if (times && path.back() != '/')
            line.append(" @").append(TimeText(data.ftLastWriteTime));
        lines.insert(line);
    }
    return lines;
}

std::string TimeText(const FILETIME& time)
{
    SYSTEMTIME utc = {};
    char text[32] = "(no time)";
    if (::FileTimeToSystemTime(&time, &utc))
        std::snprintf(text, sizeof(text), "%04d-%02d-%02d %02d:%02d:%02d", utc.wYear, utc.wMonth,
                      utc.wDay, utc.wHour, utc.wMinute, utc.wSecond);
    return text;
}

archive::ExtractionOutcome ExtractBothWays(const std::wstring& zip, const TempDir& scratch)
{
    const auto outcome = archive::UnzipToFolder(zip, scratch.Path(L"level\\out\\"), 4);
    const auto alone = archive::UnzipToFolder(zip, scratch.Path(L"alone\\level\\out\\"), 0);
    EXPECT_EQ(outcome.result, alone.result) << "workers and one extractor end differently";
    EXPECT_EQ(outcome.failedEntry, alone.failedEntry);
    EXPECT_EQ(Listing(scratch.Path(L"level\\out\\"), true),
              Listing(scratch.Path(L"alone\\level\\out\\"), true));
    for (std::string path : TreeBelow(scratch.Path())) {
        path = path.rfind("alone/", 0) == 0 ? path.substr(6) : path;
        EXPECT_TRUE(path.empty() || path == "level/" || path.rfind("level/out/", 0) == 0 ||
                    path.rfind("zip/", 0) == 0)
            << path << " was written outside the target";
        EXPECT_EQ(path.find("~qb"), std::string::npos) << "a temporary file was left: " << path;
    }
    return outcome;
}

} // namespace test
