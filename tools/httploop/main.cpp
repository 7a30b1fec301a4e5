// httploop URL FILE [CONNECTIONS SIZE]: the plainest WinHTTP download there is, as the benchmark's
// ceiling for the transfer engine: synchronous, 4096-byte reads, each written to the file at once.
// With CONNECTIONS above 1 the SIZE bytes are cut into as many equal ranges, each fetched on a
// thread of its own and written at its place: the plain loop of a download manager, for the
// memory such a download costs under the same Wine. Prints the seconds from opening WinHTTP to
// closing the file, and the bytes written.
#include "base/WinHttp.h"

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <vector>

namespace {

using Internet = UniqueInternet;

constexpr DWORD kChunkSize = 4096;
constexpr int kMostConnections = 16;

int Fail(const char* step)
{
    std::fprintf(stderr, "httploop: %s failed (%lu)\n", step, ::GetLastError());
    return 1;
}

struct Range {
    HINTERNET session = nullptr;
    const URL_COMPONENTS* parts = nullptr;
    const wchar_t* path = nullptr;
    unsigned long long first = 0;
    unsigned long long end = 0; // 0: the whole file, written from the start
    unsigned long long written = 0;
    const char* failed = nullptr;
};

// Fetches the range into the file at its place, through a handle of its own written in order.
DWORD WINAPI FetchRange(void* argument)
{
    Range& range = *static_cast<Range*>(argument);
    UniqueFile file(::CreateFileW(range.path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(range.first);
    if (!file || !::SetFilePointerEx(file.Get(), at, nullptr, FILE_BEGIN)) {
        range.failed = "opening the file";
        return 1;
    }
    Internet connection(::WinHttpConnect(range.session, range.parts->lpszHostName,
                                         range.parts->nPort, 0));
    Internet request(connection ? ::WinHttpOpenRequest(connection.Get(), L"GET",
                                                       range.parts->lpszUrlPath, nullptr,
                                                       WINHTTP_NO_REFERER,
                                                       WINHTTP_DEFAULT_ACCEPT_TYPES, 0)
                                : nullptr);
    wchar_t header[64] = {};
    if (range.end)
        std::swprintf(header, 64, L"Range: bytes=%llu-%llu\r\n", range.first, range.end - 1);
    if (!request || !::WinHttpSendRequest(request.Get(), range.end ? header : nullptr,
                                          range.end ? static_cast<DWORD>(-1) : 0,
                                          WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
        !::WinHttpReceiveResponse(request.Get(), nullptr)) {
        range.failed = "sending the request";
        return 1;
    }
    BYTE buffer[kChunkSize];
    for (;;) {
        DWORD read = 0;
        if (!::WinHttpReadData(request.Get(), buffer, kChunkSize, &read)) {
            range.failed = "WinHttpReadData";
            return 1;
        }
        if (read == 0)
            return 0;
        DWORD written = 0;
        if (!::WriteFile(file.Get(), buffer, read, &written, nullptr) || written != read) {
            range.failed = "WriteFile";
            return 1;
        }
        range.written += read;
    }
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const int connections = argc == 5 ? _wtoi(argv[3]) : 1;
    if ((argc != 3 && argc != 5) || connections < 1 || connections > kMostConnections) {
        std::fprintf(stderr, "usage: httploop URL FILE [CONNECTIONS SIZE]\n");
        return 2;
    }
    const unsigned long long size = argc == 5 ? _wcstoui64(argv[4], nullptr, 10) : 0;
    LARGE_INTEGER frequency, start, end;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&start);

    wchar_t host[256] = {};
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof(parts);
    parts.lpszHostName = host;
    parts.dwHostNameLength = 256;
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    if (!::WinHttpCrackUrl(argv[1], 0, 0, &parts))
        return Fail("WinHttpCrackUrl");
    Internet session(::WinHttpOpen(L"httploop", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                   WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session || !UniqueFile(::CreateFileW(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                              FILE_ATTRIBUTE_NORMAL, nullptr)))
        return Fail("opening WinHTTP or making the file");
    std::vector<Range> ranges(connections, Range{session.Get(), &parts, argv[2]});
    if (connections == 1) {
        FetchRange(&ranges[0]); // one stream on the main thread, as the loop always was
    } else {
        std::vector<UniqueHandle> threads;
        std::vector<HANDLE> handles;
        for (int i = 0; i < connections; ++i) {
            ranges[i].first = size * i / connections;
            ranges[i].end = size * (i + 1) / connections;
            threads.emplace_back(::CreateThread(nullptr, 0, FetchRange, &ranges[i], 0, nullptr));
            handles.push_back(threads.back().Get());
        }
        ::WaitForMultipleObjects(connections, handles.data(), TRUE, INFINITE);
    }
    unsigned long long total = 0;
    for (int i = 0; i < connections; ++i) {
        if (ranges[i].failed)
            return Fail(ranges[i].failed);
        total += ranges[i].written;
    }
    ::QueryPerformanceCounter(&end);
    std::printf("%.3f %llu\n",
                static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart, total);
    return 0;
}
