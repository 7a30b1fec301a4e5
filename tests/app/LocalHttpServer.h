#pragma once
// A tiny HTTP/1.1 server on a free loopback port, on a thread of its own, for the updater
// fetch: it answers every request with the reply it was given and records the request lines.
// The reply can announce more than it sends and then drop the connection.
#include <atomic>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace test {

struct HttpReply {
    int status = 200;
    std::string body;
    // The Content-Length sent; below zero: the body's own size. When it exceeds the body, the
    // connection is closed after the body, as a server that went away midway.
    long long announcedLength = -1;
    // No Content-Length and no chunked framing: the body ends with the connection.
    bool withoutLength = false;
    // Chunked framing instead of a length; without the last chunk when `chunkedEnd` is false,
    // as a server that went away midway.
    bool chunked = false;
    bool chunkedEnd = true;
};

class LocalHttpServer {
public:
    explicit LocalHttpServer(HttpReply reply);
    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;
    ~LocalHttpServer();

    [[nodiscard]] bool IsListening() const noexcept { return m_port != 0; }
    // http://127.0.0.1:port followed by the path.
    [[nodiscard]] std::wstring Url(std::wstring_view path) const;
    // The request lines received so far ("GET /x HTTP/1.1").
    [[nodiscard]] std::vector<std::string> Requests() const;

private:
    void Serve() noexcept;
    void Answer(unsigned long long connection) noexcept;

    HttpReply m_reply;
    unsigned long long m_listener = ~0ull;
    unsigned short m_port = 0;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_lock;
    std::vector<std::string> m_requests;
    std::thread m_thread;
};

} // namespace test
