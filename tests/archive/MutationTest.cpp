// Damaged archives: a few hundred deterministic flips and truncations of valid archives. Each
// must end within a bounded time, with nothing written outside the target, and four
// workers must leave what one extractor alone leaves, failing at the same entry.
#include "archive/UnzipToFolder.h"
#include "base/Win.h"
#include "tests/archive/ZipFixtures.h"
#include "tests/support/Files.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <future>
#include <random>

namespace {

constexpr int kMutationsPerArchive = 60;
constexpr auto kTimeLimit = std::chrono::seconds(90);

// The same damage every run: std::mt19937's sequence is fixed by the standard.
std::string Mutate(const std::string& archive, int kind, std::mt19937& random)
{
    std::string damaged = archive;
    const size_t size = archive.size();
    // Headers sit at the start and, with the central directory, in the last part of the file.
    const size_t tail = size - size / 4;
    switch (kind % 4) {
    case 0:
        damaged.resize(random() % size);
        break;
    case 1:
        damaged[random() % size] ^= static_cast<char>(1 + random() % 255);
        break;
    case 2:
        damaged[tail + random() % (size - tail)] ^= static_cast<char>(1 + random() % 255);
        break;
    default:
        for (size_t at = tail + random() % (size - tail - 4), end = at + 4; at < end; ++at)
            damaged[at] = '\xFF';
        break;
    }
    return damaged;
}

// Runs every mutation; returns what went wrong, one line each.
std::string RunMutations(const test::TempDir& root)
{
    std::mt19937 random(20240607);
    std::string problems;
    const test::TempDir alone;
    const std::wstring zip = root.Path(L"case.zip");
    for (const wchar_t* base :
         {L"mixed.zip", L"docs.zip", L"gbk.zip", L"names.zip", L"attributes.zip"}) {
        const std::string archive = test::ReadFileBytes(test::Fixture(base));
        for (int kind = 0; kind < kMutationsPerArchive; ++kind) {
            const std::string label = test::Utf8(base) + " #" + std::to_string(kind);
            test::RemoveTree(root.Path(L"level"));
            test::RemoveTree(alone.Path(L"out"));
            if (!test::WriteFileBytes(zip, Mutate(archive, kind, random)))
                return label + ": cannot write the damaged archive\n";
            const auto parallel = archive::UnzipToFolder(zip, root.Path(L"level\\out\\"), 4);
            const auto single = archive::UnzipToFolder(zip, alone.Path(L"out"), 0);
            if (parallel.result != single.result || parallel.failedEntry != single.failedEntry ||
                test::Snapshot(root.Path(L"level\\out")) != test::Snapshot(alone.Path(L"out")))
                problems += label + ": workers and one extractor differ\n";
            for (const std::string& path : test::ListTree(root.Path())) {
                if (path != "case.zip" && path != "level/" && path.rfind("level/out/", 0) != 0)
                    problems += label + ": wrote " + path + " outside the target\n";
                if (path.find("~qb") != std::string::npos)
                    problems += label + ": left the temporary file " + path + "\n";
            }
        }
    }
    return problems;
}

TEST(ZipMutation, DamagedArchivesFailCleanlyInsideTheTarget)
{
    test::TempDir root;
    std::future<std::string> work =
        std::async(std::launch::async, [&root] { return RunMutations(root); });
    if (work.wait_for(kTimeLimit) != std::future_status::ready) {
        // The extraction hangs: waiting for the thread would hang the test as well.
        std::fprintf(stderr, "damaged archives: no end within %lld s\n",
                     static_cast<long long>(kTimeLimit.count()));
        std::fflush(stderr);
        ::TerminateProcess(::GetCurrentProcess(), 3);
    }
    EXPECT_EQ(work.get(), "");
}

} // namespace
