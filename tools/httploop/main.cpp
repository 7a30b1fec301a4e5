// httploop URL FILE: the plainest WinHTTP download there is, as the benchmark's ceiling for the
// transfer engine: synchronous, 4096-byte reads, each written to the file at once. Prints the
// seconds from opening WinHTTP to closing the file, and the bytes written.
#include "base/WinHttp.h"

#include <cstdio>

namespace {

using Internet = UniqueInternet;

constexpr DWORD kChunkSize = 4096;

int Fail(const char* step)
{
    std::fprintf(stderr, "httploop: %s failed (%lu)\n", step, ::GetLastError());
    return 1;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: httploop URL FILE\n");
        return 2;
    }
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
    Internet connection(session ? ::WinHttpConnect(session.Get(), host, parts.nPort, 0) : nullptr);
    Internet request(connection ? ::WinHttpOpenRequest(connection.Get(), L"GET", parts.lpszUrlPath,
                                                       nullptr, WINHTTP_NO_REFERER,
                                                       WINHTTP_DEFAULT_ACCEPT_TYPES, 0)
                                : nullptr);
    if (!request)
        return Fail("opening the request");
    if (!::WinHttpSendRequest(request.Get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                              WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
        !::WinHttpReceiveResponse(request.Get(), nullptr))
        return Fail("sending the request");
    UniqueFile file(::CreateFileW(argv[2], GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return Fail("CreateFileW");
    static BYTE buffer[kChunkSize];
    unsigned long long total = 0;
    for (;;) {
        DWORD read = 0;
        if (!::WinHttpReadData(request.Get(), buffer, kChunkSize, &read))
            return Fail("WinHttpReadData");
        if (read == 0)
            break;
        DWORD written = 0;
        if (!::WriteFile(file.Get(), buffer, read, &written, nullptr) || written != read)
            return Fail("WriteFile");
        total += read;
    }
    file.Reset();
    ::QueryPerformanceCounter(&end);
    std::printf("%.3f %llu\n",
                static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart, total);
    return 0;
}
