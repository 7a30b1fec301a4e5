// Extractions whose folders or free space change while they run: a folder swapped for a link
// by another program, and one volume that several entries fill at once.
#include "archive/UnzipToFolder.h"
#include "base/Unique.h"
#include "tests/archive/Fixtures.h"
#include "tests/support/Files.h"
#include "tests/support/Process.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using archive::ExtractResult;
using Tree = std::set<std::string>;

// The Unix name of a Windows path, for commands run on Wine's Linux side.
std::string UnixPath(const std::wstring& path)
{
    using ToUnix = char*(CDECL*)(LPCWSTR);
    const auto toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
    char* unix = toUnix ? toUnix(path.c_str()) : nullptr;
    const std::string name = unix ? unix : "";
    ::HeapFree(::GetProcessHeap(), 0, unix);
    return name;
}

// Runs a shell command as a Linux process, which Windows' sharing rules do not bind, and waits
// (at most 20 s) until done() holds. Wine hands out no process handle to wait on, so changes to
// the folder are: a change may come before the one looked for, and a change made while the
// notification is being renewed may be missed, hence a look every 50 ms as well.
bool RunOnLinux(const std::string& command, const std::wstring& folder,
                const std::function<bool()>& done)
{
    UniqueFile changes(::FindFirstChangeNotificationW(
        folder.c_str(), TRUE, FILE_NOTIFY_CHANGE_DIR_NAME | FILE_NOTIFY_CHANGE_FILE_NAME));
    (void)test::StartProcess(L"/bin/sh -c \"" + test::Wide(command) + L"\"");
    const ULONGLONG deadline = ::GetTickCount64() + 20000;
    while (!done() && changes && ::GetTickCount64() < deadline) {
        if (::WaitForSingleObject(changes.Get(), 50) == WAIT_OBJECT_0)
            (void)::FindNextChangeNotification(changes.Get());
    }
    return done();
}

// What a folder holds, as relative paths, with the size of every file.
Tree Sizes(const std::wstring& folder)
{
    Tree sizes;
    for (const std::string& path : test::TreeBelow(folder))
        sizes.insert(path + " " + std::to_string(test::ReadFileBytes(folder + test::Wide(path)).size()));
    return sizes;
}

} // namespace

TEST(HeldFolders, AFolderBeingFilledCannotBeMovedOrRemovedByWindowsPrograms)
{
    // held.zip: the folder sub, then 200 files in it. As soon as sub is held, a program tries
    // to move it away (to put a junction in its place) and to remove it.
    for (const unsigned workers : {0u, 4u}) {
        SCOPED_TRACE(workers);
        test::TempDir root;
        std::vector<DWORD> errors;
        archive::ExtractionWatch watch;
        watch.folderHeld = [&](const std::wstring& folder) {
            const bool moved = ::MoveFileExW(folder.c_str(), root.Path(L"moved").c_str(), 0);
            errors.push_back(moved ? 0 : ::GetLastError());
            errors.push_back(::RemoveDirectoryW(folder.c_str()) ? 0 : ::GetLastError());
        };
        const auto outcome = archive::UnzipToFolder(Fixture(L"held.zip"), root.Path(L"out\\"),
                                                    workers, watch);
        EXPECT_EQ(errors, (std::vector<DWORD>{ERROR_SHARING_VIOLATION, ERROR_SHARING_VIOLATION}));
        EXPECT_EQ(outcome.result, ExtractResult::Ok);
        EXPECT_EQ(test::TreeBelow(root.Path()).size(), 202u) << "out/, out/sub/ and 200 files";
        EXPECT_EQ(test::ReadFileBytes(root.Path(L"out\\sub\\f199.txt")), "199");
    }
}

TEST(HeldFolders, AFolderSwappedForALinkBehindWindowsBackTakesNoFileOutside)
{
    // Wine's Linux side ignores Windows' sharing, so there the swap of the held sub succeeds;
    // the entries bound for it fail instead of following the link.
    ASSERT_FALSE(UnixPath(L"C:\\").empty()) << "no Linux side to swap the folder from";
    for (const unsigned workers : {0u, 4u}) {
        SCOPED_TRACE(workers);
        test::TempDir root;
        ASSERT_TRUE(::CreateDirectoryW(root.Path(L"outside").c_str(), nullptr));
        bool swapped = false;
        archive::ExtractionWatch watch;
        watch.folderHeld = [&](const std::wstring& folder) {
            const std::string held = UnixPath(folder);
            swapped = RunOnLinux("mv '" + held + "' '" + held + ".old' && ln -s '" +
                                     UnixPath(root.Path(L"outside")) + "' '" + held + "'",
                                 root.Path(), [&] {
                                     return ::GetFileAttributesW(folder.c_str()) ==
                                            (FILE_ATTRIBUTE_DIRECTORY |
                                             FILE_ATTRIBUTE_REPARSE_POINT);
                                 });
        };
        const auto outcome = archive::UnzipToFolder(Fixture(L"held.zip"), root.Path(L"out\\"),
                                                    workers, watch);
        ASSERT_TRUE(swapped) << "the Linux side did not swap the folder within 20 s";
        EXPECT_EQ(outcome.result, ExtractResult::UnsafeName);
        EXPECT_EQ(outcome.failedEntry, 1);
        EXPECT_EQ(test::TreeBelow(root.Path(L"outside\\")), Tree{}) << "written through the link";
    }
}

TEST(ExtractionSpace, EntriesWrittenAtOnceCountTogetherAgainstTheFreeSpace)
{
    // three.zip: three entries of a million bytes. The volume stands in with room for 2.2 of
    // them, less what lies in the target folder (temporary files included) at each question;
    // then, with room for 3.2, the archive is unpacked again over the two copies it left, each
    // of which gives back its room only when replaced.
    std::uint64_t room = 0;
    for (const unsigned workers : {4u, 0u}) {
        SCOPED_TRACE(workers);
        test::TempDir root;
        const std::wstring out = root.Path(L"out\\");
        archive::ExtractionWatch watch;
        watch.freeSpace = [&]() -> std::optional<std::uint64_t> {
            std::uint64_t used = 0;
            for (const std::string& path : test::TreeBelow(out)) {
                WIN32_FILE_ATTRIBUTE_DATA data = {};
                if (::GetFileAttributesExW((out + test::Wide(path)).c_str(),
                                           GetFileExInfoStandard, &data))
                    used += data.nFileSizeLow;
            }
            return room - std::min(used, room);
        };
        room = 2222222;
        auto outcome = archive::UnzipToFolder(Fixture(L"three.zip"), out, workers, watch);
        EXPECT_EQ(outcome.result, ExtractResult::NoSpace);
        EXPECT_EQ(outcome.failedEntry, 2);
        EXPECT_EQ(Sizes(out), (Tree{"1 1000000", "2 1000000"}));
        EXPECT_EQ(test::ReadFileBytes(out + L"2"), std::string(1000000, '2'));

        room = 3200000;
        outcome = archive::UnzipToFolder(Fixture(L"three.zip"), out, workers, watch);
        EXPECT_EQ(outcome.result, ExtractResult::Ok) << "entry " << outcome.failedEntry;
        EXPECT_EQ(Sizes(out), (Tree{"1 1000000", "2 1000000", "3 1000000"}));
    }
}
