#pragma once
// A small HTTP/1.1 server on 127.0.0.1 for the downloader's tests. It answers
// exactly what the test's handler says (status, headers as spelled, body,
// stalls), which lets tests serve replies that a real server library would
// "correct", and it logs every request.

#include <atomic>
#include <condition_variable>
#include <functional>
#include <list>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

struct HttpRequest {
    std::string path;                                          // with the query
    std::vector<std::pair<std::string, std::string>> headers;  // names lower-cased
    int connection{0};                                         // which accepted connection carried it, from 1
    std::string header(const std::string& lower_name) const;
};

struct HttpReply {
    int status{200};
    std::vector<std::pair<std::string, std::string>> headers;  // sent as spelled
    std::string body;
    std::size_t stall_after{std::string::npos};                // body bytes sent before a stall
    int stall_ms{0};
};

class LoopbackServer {
public:
    using Handler = std::function<HttpReply(const HttpRequest&)>;

    explicit LoopbackServer(Handler handler);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    std::string url(const std::string& path) const;
    std::vector<HttpRequest> requests() const;

private:
    void accept_loop();
    void serve(int fd, int connection);
    bool send_reply(int fd, const HttpReply& reply);
    void sleep_unless_stopped(int ms);

    Handler m_handler;
    int m_listen{-1};
    int m_port{0};
    std::atomic<bool> m_stopping{false};
    mutable std::mutex m_lock;
    std::condition_variable m_stop_signal;
    std::vector<HttpRequest> m_requests;   // guarded by m_lock
    std::vector<int> m_open;               // guarded by m_lock: connections being served
    std::list<std::thread> m_connections;  // guarded by m_lock
    std::thread m_acceptor;                // joined first on destruction
};

// How a served content answers.
struct ContentOptions {
    bool honour_range{true};       // false: a whole-file 200 whatever the Range
    bool lower_case{false};        // header names in lower case
    long offset_shift{0};          // a 206 whose bytes and Content-Range start this much later
    int error_status{0};           // non-zero: an error page with this status
    std::size_t stall_after{std::string::npos};
    int stall_ms{0};
};

// Replies to `request` with `content` (a 206 for a valid "bytes=a-b" Range when honoured).
HttpReply reply_with_content(const std::string& content, const HttpRequest& request, const ContentOptions& options);

// Bytes that differ at every position of any segment (a counter pattern).
std::string make_content(std::size_t size, unsigned seed = 1);
