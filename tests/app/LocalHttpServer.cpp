#include "tests/app/LocalHttpServer.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdio>

namespace test {
namespace {

constexpr long kPollMicroseconds = 50 * 1000;
// A client that stops reading or writing must not keep the server (and the test) waiting.
constexpr DWORD kSocketTimeoutMs = 5000;

const char* ReasonOf(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 404:
        return "Not Found";
    default:
        return "Status";
    }
}

bool SendAll(SOCKET socket, std::string_view bytes)
{
    while (!bytes.empty()) {
        const int sent = ::send(socket, bytes.data(), static_cast<int>(bytes.size()), 0);
        if (sent <= 0)
            return false;
        bytes.remove_prefix(static_cast<size_t>(sent));
    }
    return true;
}

} // namespace

LocalHttpServer::LocalHttpServer(HttpReply reply) : m_reply(std::move(reply))
{
    WSADATA data;
    if (::WSAStartup(MAKEWORD(2, 2), &data) != 0)
        return;
    SOCKET listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (listener == INVALID_SOCKET)
        return;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    int length = sizeof(address);
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(listener, 8) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::closesocket(listener);
        return;
    }
    m_listener = listener;
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { Serve(); });
}

LocalHttpServer::~LocalHttpServer()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_listener != ~0ull)
        ::closesocket(static_cast<SOCKET>(m_listener));
    ::WSACleanup();
}

std::wstring LocalHttpServer::Url(std::wstring_view path) const
{
    return L"http://127.0.0.1:" + std::to_wstring(m_port) + std::wstring(path);
}

std::vector<std::string> LocalHttpServer::Requests() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_requests;
}

void LocalHttpServer::Serve() noexcept
{
    const SOCKET listener = static_cast<SOCKET>(m_listener);
    while (!m_stop) {
        // A short wait, so that the destructor's stop request is seen soon.
        fd_set ready;
        FD_ZERO(&ready);
        FD_SET(listener, &ready);
        timeval wait{0, kPollMicroseconds};
        if (::select(0, &ready, nullptr, nullptr, &wait) <= 0)
            continue;
        const SOCKET connection = ::accept(listener, nullptr, nullptr);
        if (connection == INVALID_SOCKET)
            continue;
        const DWORD timeout = kSocketTimeoutMs;
        ::setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout),
                     sizeof(timeout));
        ::setsockopt(connection, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeout),
                     sizeof(timeout));
        Answer(connection);
        ::shutdown(connection, SD_SEND);
        ::closesocket(connection);
    }
}

void LocalHttpServer::Answer(unsigned long long handle) noexcept
{
    try {
        const SOCKET connection = static_cast<SOCKET>(handle);
        std::string request;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos) {
            const int got = ::recv(connection, buffer, sizeof(buffer), 0);
            if (got <= 0)
                return;
            request.append(buffer, static_cast<size_t>(got));
        }
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_requests.push_back(request.substr(0, request.find("\r\n")));
        }
        const long long announced = m_reply.announcedLength < 0
                                        ? static_cast<long long>(m_reply.body.size())
                                        : m_reply.announcedLength;
        char head[256];
        if (m_reply.chunked) {
            std::snprintf(
                head, sizeof(head),
                "HTTP/1.1 %d %s\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n",
                m_reply.status, ReasonOf(m_reply.status));
            if (!SendAll(connection, head))
                return;
            constexpr size_t kChunk = 1000;
            for (size_t offset = 0; offset < m_reply.body.size(); offset += kChunk) {
                const std::string_view piece =
                    std::string_view(m_reply.body).substr(offset, kChunk);
                char size[32];
                std::snprintf(size, sizeof(size), "%zx\r\n", piece.size());
                if (!SendAll(connection, size) || !SendAll(connection, piece) ||
                    !SendAll(connection, "\r\n"))
                    return;
            }
            if (m_reply.chunkedEnd)
                (void)SendAll(connection, "0\r\n\r\n");
            return;
        }
        if (m_reply.withoutLength)
            std::snprintf(head, sizeof(head), "HTTP/1.1 %d %s\r\nConnection: close\r\n\r\n",
                          m_reply.status, ReasonOf(m_reply.status));
        else
            std::snprintf(head, sizeof(head),
                          "HTTP/1.1 %d %s\r\nContent-Type: application/octet-stream\r\n"
                          "Content-Length: %lld\r\nConnection: close\r\n\r\n",
                          m_reply.status, ReasonOf(m_reply.status), announced);
        if (SendAll(connection, head))
            (void)SendAll(connection, m_reply.body);
    } catch (...) {
    }
}

} // namespace test
