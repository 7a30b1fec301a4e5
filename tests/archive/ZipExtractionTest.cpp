// Zip extraction, with archives made for this run by Info-ZIP zip and Python's zipfile
// (make_fixtures.py) and with the corpus of archives from other tools (corpus/SOURCES.md).
#include "archive/UnzipToFolder.h"
#include "base/Unique.h"
#include "base/Win.h"
#include "tests/archive/Fixtures.h"
#include "tests/support/Files.h"
#include "tests/support/Process.h"

#include <bcrypt.h>
#include <gtest/gtest.h>

#include <future>
#include <sstream>

namespace {

using archive::ExtractResult;
using Tree = std::set<std::string>;

// What the page gets: 1 when every entry was extracted.
int Unzip(const std::wstring& zip, const std::wstring& target)
{
    return archive::UnzipToFolder(zip, target).result == ExtractResult::Ok ? 1 : 0;
}

std::string Sha256Hex(const std::string& bytes)
{
    static BCRYPT_ALG_HANDLE sha256 = nullptr; // opened once, kept for the run
    if (!sha256)
        (void)::BCryptOpenAlgorithmProvider(&sha256, BCRYPT_SHA256_ALGORITHM, nullptr, 0);
    BCRYPT_HASH_HANDLE hash = nullptr;
    unsigned char digest[32] = {};
    char hex[65] = "(no hash)";
    if (BCRYPT_SUCCESS(::BCryptCreateHash(sha256, &hash, nullptr, 0, nullptr, 0, 0)) &&
        BCRYPT_SUCCESS(::BCryptHashData(hash, PUCHAR(bytes.data()), ULONG(bytes.size()), 0)) &&
        BCRYPT_SUCCESS(::BCryptFinishHash(hash, digest, sizeof(digest), 0)))
        for (int i = 0; i < 32; ++i)
            std::snprintf(hex + 2 * i, 3, "%02x", digest[i]);
    ::BCryptDestroyHash(hash);
    return hex;
}

// Contents as a listing shows them: as they are when short, else by length and SHA-256.
std::string Shown(const std::string& bytes)
{
    return bytes.size() <= 64 ? bytes : std::to_string(bytes.size()) + " bytes " + Sha256Hex(bytes);
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

// What a folder holds, a line per file or folder: "dir/", or "file=<contents shown>", with the
// attributes the archive decides (" +R", " +H", " +S") and, with times, " @<last write, UTC>".
Tree Listing(const std::wstring& folder, bool times = false)
{
    if (!test::DirectoryExists(folder))
        return {"no folder"};
    std::set<std::string> lines;
    for (const std::string& path : test::TreeBelow(folder)) {
        const std::wstring full = folder + test::Wide(path);
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        (void)::GetFileAttributesExW(full.c_str(), GetFileExInfoStandard, &data);
        std::string line =
            path.back() == '/' ? path : path + "=" + Shown(test::ReadFileBytes(full));
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

// Extracts with four workers into <scratch>level\out\ and with the calling thread alone into
// <scratch>alone\level\out\; both must end alike and leave the same, and nothing may lie outside
// those folders but the folder "zip" (the archive's own). The workers' outcome.
archive::ExtractionOutcome ExtractBothWays(const std::wstring& zip, const test::TempDir& scratch)
{
    const auto outcome = archive::UnzipToFolder(zip, scratch.Path(L"level\\out\\"), 4);
    const auto alone = archive::UnzipToFolder(zip, scratch.Path(L"alone\\level\\out\\"), 0);
    EXPECT_EQ(outcome.result, alone.result) << "workers and one extractor end differently";
    EXPECT_EQ(outcome.failedEntry, alone.failedEntry);
    EXPECT_EQ(Listing(scratch.Path(L"level\\out\\"), true),
              Listing(scratch.Path(L"alone\\level\\out\\"), true));
    for (std::string path : test::TreeBelow(scratch.Path())) {
        path = path.rfind("alone/", 0) == 0 ? path.substr(6) : path;
        EXPECT_TRUE(path.empty() || path == "level/" || path.rfind("level/out/", 0) == 0 ||
                    path.rfind("zip/", 0) == 0)
            << path << " was written outside the target";
        EXPECT_EQ(path.find("~qb"), std::string::npos) << "a temporary file was left: " << path;
    }
    return outcome;
}

} // namespace

TEST(ZipExtraction, EveryArchiveEndsAsItShouldAndLeavesOnlyWholeEntriesInsideItsFolder)
{
    ASSERT_EQ(::GetACP(), 936u) << "the archive tests expect the players' Chinese code page";
    using enum ExtractResult;
    const Tree inside = {"inside.txt=inside"}, docs = {"docs/", "docs/readme.txt=read me\r\n"};
    Tree early; // late-crc.zip: 120 files in 7 folders, entry 70 damaged; workers run ahead
    for (int i = 0; i < 70; ++i) {
        const std::string folder = "f00" + std::to_string(i % 7) + "/";
        early.insert({folder, folder + "n" + std::to_string(1000 + i).substr(1) + ".txt=" +
                                  Shown(std::string(500 + i * 37, 'x'))});
    }
    // clang-format off
    const struct {
        const wchar_t* zip;
        ExtractResult result;
        Tree left;
    } cases[] = {
        {L"docs.zip", Ok, docs},
        // Drives, shares, leading separators and parent steps are dropped; names without the
        // UTF-8 flag are read in code page 936, as every Windows tool reads them.
        {L"names.zip", Ok, {"abs/", "abs/x.txt=abs", "b.txt=back", "etc/", "etc/z=dot-dot",
         "games/", "games/x.txt=drive", "server/", "server/share/", "server/share/y.dat=unc",
         "中文目录/", "中文目录/说明.txt=gbk name", "游戏.exe=game", "世界/",
         "世界/ÄÖÜ.txt=utf-8 flagged", "涓栫晫.txt=unflagged utf-8", "empty.txt=", "folder/",
         "folder/inner/", "folder/file.txt=in"}},
        // Attributes follow the host that wrote the archive; a Unix file without its owner's
        // write bit is read-only.
        {L"meta.zip", Ok, {"dos-readonly.txt=r +R", "dos-hidden.txt=h +H",
         "dos-system.txt=s +S", "unix-readonly.txt=ur +R", "unix-writable.txt=uw", "unix-folder/",
         "dos-folder/", "write-only.txt=w", "short-block.txt=s", "month0.txt=m"}},
        {L"empty-password.zip", Ok, {"stored.txt=" + Shown(std::string(700, 's')),
         "deflated.txt=" + Shown(std::string(48000, 'd'))}},
        // Names equal but for case name one file, which the last entry fills; the first spelling
        // stays (for a file, as Wine's rename keeps it).
        {L"case-names.zip", Ok, {"Dir/", "Dir/a.txt=upper", "readme.TXT=two +R", "Other/",
         "Other/x.txt=x", "Other/y.txt=y"}},
        // A failing entry ends the walk; the entries before it stay, nothing of it is left.
        {L"encrypted.zip", BadPassword, {}}, {L"inflate.zip", InflateFailed, {}},
        {L"lzma.zip", BadHeader, {"first.txt=deflated first"}},
        {L"crc.zip", InflateFailed, {"good.txt=good"}},
        {L"broken-record.zip", BadHeader, {"one.txt=1"}},
        {L"overcount.zip", BadHeader, {"one.txt=1", "two.txt=2"}},
        {L"undercount.zip", BadHeader, {}}, {L"zerocount.zip", BadHeader, {"no folder"}},
        {L"late-crc.zip", InflateFailed, early},
        {L"beyond-size.zip", InflateFailed, {"first.txt=first"}},
        {L"beyond-size-stored.zip", InflateFailed, {"first.txt=first"}},
        // Read as 64 bits: the low 32 bits alone would claim 1 MiB and fail on the data.
        {L"huge-declared.zip", NoSpace, {}},
        {L"dir-over-file.zip", CannotOpen, {"x=file"}},
        {L"symlink.zip", CannotOpen, {"link=../outside"}},
        // Names that lead out of the folder or that Windows would read otherwise; cut short by a
        // NUL, a name is another name.
        {L"slip-up.zip", UnsafeName, inside}, {L"stream.zip", UnsafeName, inside},
        {L"slip-folder.zip", UnsafeName, inside}, {L"nul-name.zip", UnsafeName, {}},
        {L"trailing-dot.zip", UnsafeName, inside},
        {L"long-name.zip", UnsafeName, inside},
        // Folder entries are names like any other.
        {L"device-folder.zip", UnsafeName, inside}, {L"stream-folder.zip", UnsafeName, inside},
        {L"dot-folder.zip", UnsafeName, inside}, {L"space-folder.zip", UnsafeName, inside},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(test::Utf8(c.zip));
        test::TempDir scratch;
        EXPECT_EQ(ExtractBothWays(Fixture(c.zip), scratch).result, c.result);
        EXPECT_EQ(Listing(scratch.Path(L"level\\out\\")), c.left);
    }
}

TEST(ZipExtraction, TimesComeFromTheDosStampInLocalTimeUnlessAnExtendedTimestampGivesThem)
{
    TIME_ZONE_INFORMATION zone = {};
    ::GetTimeZoneInformation(&zone);
    ASSERT_EQ(zone.Bias, -480) << "the archive tests expect TZ=Asia/Shanghai";
    // make_fixtures.py's DOS stamp 2001-02-03 04:05:06 is local time, 8 hours ahead of UTC; its
    // extended timestamps are exact. A DOS date that does not exist is the earliest there is.
    const char *kDos = "2001-02-02 20:05:06", *kEarliest = "1979-12-31 16:00:00";
    const struct {
        const wchar_t *zip, *file;
        const char *write, *access;
    } cases[] = {
        {L"docs.zip", L"docs\\readme.txt", "2009-02-13 23:31:30", "2011-03-13 07:06:40"},
        {L"names.zip", L"empty.txt", kDos, kDos},
        {L"meta.zip", L"write-only.txt", "2009-02-13 23:31:30", kDos},
        // This block flags three times but holds one; the next block's bytes are no times.
        {L"meta.zip", L"short-block.txt", "2009-02-13 23:31:30", kDos},
        {L"meta.zip", L"month0.txt", kEarliest, kEarliest},
    };
    test::TempDir root;
    for (const auto& c : cases) {
        ASSERT_EQ(Unzip(Fixture(c.zip), root.Path()), 1);
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        ASSERT_TRUE(
            ::GetFileAttributesExW(root.Path(c.file).c_str(), GetFileExInfoStandard, &data));
        EXPECT_EQ(TimeText(data.ftLastWriteTime), c.write) << test::Utf8(c.file);
        EXPECT_EQ(TimeText(data.ftLastAccessTime), c.access) << test::Utf8(c.file);
    }
}

TEST(ZipExtraction, TargetsAreMadeWithTheFoldersAboveThemAndBadArgumentsChangeNothing)
{
    // Each case runs in a folder of its own, as the current folder, beside a file "file". An empty
    // or missing archive and an empty target are the page test's.
    const Tree docs = {"docs/", "docs/readme.txt=read me\r\n"};
    const struct {
        const wchar_t *zip, *target;
        int result;
        const wchar_t* inspected; // the folder listed afterwards
        Tree left;
    } cases[] = {
        {L"docs.zip", L"a\\b\\new", 1, L"a\\b\\new\\", docs},
        {L"docs.zip", L"c/d/new/", 1, L"c\\d\\new\\", docs},
        {L"docs.zip", L"plain", 1, L"plain\\", docs},
        {L"empty.zip", L"empty", 1, L"empty\\", {}},
        {L"notzip.zip", L"out", 0, L"", {"file=keep"}},
        {L"docs.zip", L"file", 0, L"", {"file=keep"}},
    };
    wchar_t previous[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, previous);
    for (const auto& c : cases) {
        test::TempDir root;
        ASSERT_TRUE(test::WriteFileBytes(root.Path(L"file"), "keep"));
        ASSERT_TRUE(::SetCurrentDirectoryW(root.Path().c_str()));
        EXPECT_EQ(Unzip(Fixture(c.zip), c.target), c.result)
            << test::Utf8(c.target);
        EXPECT_EQ(Listing(root.Path(c.inspected)), c.left) << test::Utf8(c.target);
        ::SetCurrentDirectoryW(previous);
    }
}

// Windows refuses to overwrite or replace a read-only file. Wine, run as root as here, lets both
// happen and refuses only deletion, so on this platform the first step sees the outcome but
// could not catch a missing step that clears the attribute first.
TEST(ZipExtraction, ExtractingAgainReplacesOnlyWithWholeFilesAndKeepsWhatItCannotReplace)
{
    test::TempDir root;
    const std::wstring out = root.Path(L"out\\");
    for (const auto& [zip, result] : {std::pair{L"readonly.zip", 1}, {L"readonly-v2.zip", 1},
                                      {L"data-v1.zip", 1}, {L"crc.zip", 0}})
        EXPECT_EQ(Unzip(Fixture(zip), out), result) << test::Utf8(zip);
    // Held open by the running game, a read-only file stays as it was, its attribute too.
    {
        UniqueFile game(::CreateFileW((out + L"locked.txt").c_str(), GENERIC_READ,
                                      FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(game);
        EXPECT_EQ(Unzip(Fixture(L"readonly.zip"), out), 0);
    }
    EXPECT_EQ(Listing(out),
              (Tree{"locked.txt=version 2 +R", "data.bin=version 1", "good.txt=good"}));

    // A target this deep leaves no room for "~qb12345678.tmp", though "a" itself would fit.
    std::wstring deep = root.Path();
    while (deep.size() + 15 < MAX_PATH)
        deep += L"d\\";
    ASSERT_EQ(Unzip(Fixture(L"empty.zip"), deep), 1);
    ASSERT_TRUE(test::WriteFileBytes(deep + L"a", "earlier"));
    EXPECT_EQ(Unzip(Fixture(L"short-name.zip"), deep), 0);
    EXPECT_EQ(Listing(deep), Tree{"a=earlier"}) << "the earlier copy was touched";

    // Deeper: docs\readme.txt would not fit; a target beyond the limit is not even made.
    std::wstring deeper = root.Path(L"deep\\");
    while (deeper.size() < MAX_PATH - 10)
        deeper += L"d\\";
    EXPECT_EQ(Unzip(Fixture(L"docs.zip"), deeper), 0);
    EXPECT_FALSE(test::FileExists(deeper + L"docs\\readme.txt"));
    const std::wstring tooLong = deeper + std::wstring(20, L'm') + L"\\";
    EXPECT_EQ(Unzip(Fixture(L"docs.zip"), tooLong), 0);
    EXPECT_FALSE(test::DirectoryExists(tooLong));
}

TEST(ZipExtraction, LinksInsideTheTargetAreNeverFollowedThoughTheTargetMayBeOne)
{
    // make_fixtures.py: linked\game -> real-game, and real-game\mods -> ..\outside.
    const std::wstring linked = Fixture(L"linked\\"), game = linked + L"game\\";
    ASSERT_EQ(::GetFileAttributesW((game + L"mods").c_str()),
              DWORD(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
    for (const wchar_t* zip : {L"through-link.zip", L"below-link.zip", L"link-folder.zip"}) {
        EXPECT_EQ(Unzip(Fixture(zip), game), 0) << test::Utf8(zip);
        EXPECT_EQ(Listing(linked + L"outside\\"), Tree{}) << test::Utf8(zip);
        EXPECT_FALSE(test::FileExists(game + L"after.txt")) << test::Utf8(zip);
    }
    EXPECT_EQ(Unzip(Fixture(L"docs.zip"), game), 1);
    EXPECT_EQ(test::ReadFileBytes(linked + L"real-game\\docs\\readme.txt"), "read me\r\n");
}

// As a page calls it: a script run by pagescript against the real bridge, unpacking archives, one
// with a Chinese name, into a Games folder.
TEST(UnzipFileScript, APageUnpacksIntoChineseNamesAndGetsZeroForWhatFails)
{
    test::TempDir app;
    ASSERT_TRUE(::CopyFileW(Fixture(L"docs.zip").c_str(), app.Path(L"文档.zip").c_str(), FALSE));
    const test::ProcessResult result = test::RunPageScript(
        "var app = " + test::JsString(app.Path()) +
        ", slip = " + test::JsString(Fixture(L"slip-up.zip")) + ";" + R"(
print(external.UnzipFile(app + '文档.zip', app + 'Games\\文档'));
print(external.UnzipFile(slip, app + 'Games\\slip'));
print(external.UnzipFile('', app + 'Games\\none'));
print(external.UnzipFile(undefined, app + 'Games\\none'));
print(external.UnzipFile(app + 'missing.zip', app + 'Games\\none'));
print(external.UnzipFile(app + '文档.zip', ''));
exit(0);)");
    EXPECT_EQ(result.output, "1\n0\n0\n0\n0\n0\n");
    EXPECT_EQ(Listing(app.Path(L"Games\\")), (Tree{"slip/", "slip/inside.txt=inside", "文档/",
                                                "文档/docs/", "文档/docs/readme.txt=read me\r\n"}));
}

TEST(ZipCorpus, EveryArchiveUnpacksAsItsManifestExpects)
{
    // corpus\expect.txt (make_fixtures.py): "archive FILE ok|fail|either", what an ok archive
    // leaves ("left PATH=SHA-256", "left FOLDER/"), and the SHA-256 of each entry ("data SHA-256").
    struct Expected {
        std::string file, result;
        Tree left, data;
    };
    std::vector<Expected> archives;
    std::istringstream lines(test::ReadFileBytes(Fixture(L"corpus\\expect.txt")));
    for (std::string kind, first, second; std::getline(lines, kind, '\t') &&
                                          std::getline(lines, first, '\t') &&
                                          std::getline(lines, second);) {
        if (kind == "archive")
            archives.push_back({first, second, {}, {}});
        else
            (kind == "left" ? archives.back().left : archives.back().data).insert(second);
    }
    ASSERT_GE(archives.size(), 60u) << "no corpus\\expect.txt from make_fixtures.py";
    for (const Expected& archive : archives) {
        SCOPED_TRACE(archive.file);
        test::TempDir scratch;
        const auto outcome =
            ExtractBothWays(Fixture(L"corpus\\" + test::Wide(archive.file)), scratch);
        const std::wstring out = scratch.Path(L"level\\out\\");
        Tree left;
        for (const std::string& path : test::TreeBelow(out)) {
            const std::string hash = Sha256Hex(test::ReadFileBytes(out + test::Wide(path)));
            left.insert(path.back() == '/' ? path : path + "=" + hash);
            EXPECT_TRUE(path.back() == '/' || archive.data.count(hash))
                << path << " holds no entry's data";
        }
        if (archive.result != "either") {
            EXPECT_EQ(outcome.result == ExtractResult::Ok, archive.result == "ok");
        }
        if (archive.result == "ok") {
            EXPECT_EQ(left, archive.left);
        }
    }
}

TEST(ZipMutation, DamagedArchivesFailCleanlyInsideTheTarget)
{
    // Damage where a reader must look: a cut at every record and inside it, and each 16-bit word
    // of the end record and of the headers of mixed.zip's deflated and stored entries
    // (dir/text.txt, dir/raw.bin with its extra field) set to all ones: versions, flags, methods,
    // times, CRC-32s, sizes, lengths, attributes, offsets and counts.
    const std::string zip = test::ReadFileBytes(Fixture(L"mixed.zip"));
    std::vector<std::string> cases;
    for (const auto& [signature, length] :
         {std::pair{"PK\3\4", 30}, {"PK\1\2", 46}, {"PK\5\6", 22}}) {
        int entry = 0;
        for (size_t at = zip.find(signature); at != std::string::npos;
             at = zip.find(signature, at + 1), ++entry) {
            cases.push_back(zip.substr(0, at));
            cases.push_back(zip.substr(0, at + length / 2));
            const bool chosen = length == 22 || entry == 1 || entry == 2;
            for (size_t word = at + 4; chosen && word < at + length; word += 2)
                cases.push_back(std::string(zip).replace(word, 2, 2, '\xFF'));
        }
    }
    ASSERT_EQ(cases.size(), 99u);
    // An extraction that hangs would hang the test too: the process ends instead.
    std::future<void> work = std::async(std::launch::async, [&cases] {
        for (size_t i = 0; i < cases.size(); ++i) {
            SCOPED_TRACE("damage #" + std::to_string(i));
            test::TempDir scratch;
            ASSERT_TRUE(::CreateDirectoryW(scratch.Path(L"zip").c_str(), nullptr) &&
                        test::WriteFileBytes(scratch.Path(L"zip\\case.zip"), cases[i]));
            (void)ExtractBothWays(scratch.Path(L"zip\\case.zip"), scratch);
        }
    });
    if (work.wait_for(std::chrono::seconds(90)) != std::future_status::ready) {
        std::fprintf(stderr, "damaged archives: no end within 90 s\n"); // stderr is unbuffered
        ::TerminateProcess(::GetCurrentProcess(), 3);
    }
    work.get();
}
