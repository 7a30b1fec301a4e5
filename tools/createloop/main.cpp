// createloop LIST FOLDER: the plainest way to put a set of files on disk, as the floor that
// tools/bench-unzip holds UnzipFile against. LIST holds a line "SIZE PATH" per file (UTF-8, '/'
// between folders); for each, on one thread: CreateFileW, WriteFile in 16 KiB chunks,
// CloseHandle. Each folder is made once, when its first file needs it. Prints the number of
// files and bytes written.
#include "base/Unique.h"

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

namespace {

constexpr DWORD kChunkSize = 16384;

std::wstring Wide(const std::string& utf8)
{
    std::wstring wide(utf8.size(), L'\0');
    const int count = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                            wide.data(), static_cast<int>(wide.size()));
    wide.resize(count > 0 ? static_cast<size_t>(count) : 0);
    return wide;
}

// Makes the folders of a relative path below root that this run has not made yet.
void MakeFolders(const std::wstring& root, const std::wstring& path, std::set<std::wstring>& made)
{
    for (size_t at = path.find(L'\\'); at != std::wstring::npos; at = path.find(L'\\', at + 1)) {
        const std::wstring folder = path.substr(0, at);
        if (made.insert(folder).second)
            ::CreateDirectoryW((root + folder).c_str(), nullptr);
    }
}

bool WriteOne(const std::wstring& path, unsigned long long size, const char* chunk)
{
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    while (size > 0) {
        const DWORD part = size < kChunkSize ? static_cast<DWORD>(size) : kChunkSize;
        DWORD written = 0;
        if (!::WriteFile(file.Get(), chunk, part, &written, nullptr) || written != part)
            return false;
        size -= part;
    }
    return true;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: createloop LIST FOLDER\n");
        return 2;
    }
    FILE* list = ::_wfopen(argv[1], L"rb");
    if (!list) {
        std::fprintf(stderr, "createloop: cannot read the list\n");
        return 1;
    }
    std::wstring root = argv[2];
    if (root.back() != L'\\')
        root += L'\\';
    ::CreateDirectoryW(root.c_str(), nullptr);
    static char chunk[kChunkSize] = {};
    std::set<std::wstring> made;
    unsigned long files = 0;
    unsigned long long bytes = 0;
    char line[4096];
    while (std::fgets(line, sizeof(line), list)) {
        char* name = nullptr;
        const unsigned long long size = std::strtoull(line, &name, 10);
        std::string utf8(name + 1);
        while (!utf8.empty() && (utf8.back() == '\n' || utf8.back() == '\r'))
            utf8.pop_back();
        std::wstring path = Wide(utf8);
        for (wchar_t& c : path) {
            if (c == L'/')
                c = L'\\';
        }
        MakeFolders(root, path, made);
        if (!WriteOne(root + path, size, chunk)) {
            std::fprintf(stderr, "createloop: cannot write %s (%lu)\n", utf8.c_str(),
                         ::GetLastError());
            return 1;
        }
        ++files;
        bytes += size;
    }
    std::fclose(list);
    std::printf("%lu files, %llu bytes\n", files, bytes);
    return 0;
}
