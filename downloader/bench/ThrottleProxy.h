#pragma once
// The bench's own throttling proxy on 127.0.0.1. Each connection a client
// opens is joined to one of its own to the server; requests pass as they
// come, and each connection's replies are paced to its rate from their first
// chunk (16 KiB): time a connection spends idle earns it nothing, so every
// request meets the rate however short it is. Connections are numbered as
// they are accepted, from 0, and get their rate when their first request
// arrives; the proxy keeps what each asked for and got.

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class ThrottleProxy {
public:
    // One request as the proxy saw it: the bytes it asked for (a Range, or the
    // whole file) and the reply's body bytes that went back.
    struct Request {
        int connection;
        std::uint64_t first;
        std::uint64_t last;    // inclusive; UINT64_MAX for "to the end"
        bool ranged;
        std::uint64_t delivered;
    };

    // Bytes a second for a connection, given its number and first request;
    // called one at a time.
    using RateOf = std::function<double(const Request& first)>;

    ThrottleProxy(int server_port, RateOf rate_of);
    ~ThrottleProxy();
    ThrottleProxy(const ThrottleProxy&) = delete;
    ThrottleProxy& operator=(const ThrottleProxy&) = delete;

    int port() const { return m_port; }
    // Closes every connection, forgets the log and numbers from 0 again.
    void reset(RateOf rate_of);
    std::vector<Request> requests() const;

private:
    struct Link;
    void accept_loop();
    void serve(int client, int connection);
    void close_links();

    const int m_server_port;
    int m_listener{-1};
    int m_port{0};
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_lock;
    RateOf m_rate_of;                       // guarded by m_lock
    int m_accepted{0};                      // guarded by m_lock
    std::vector<Request> m_requests;        // guarded by m_lock
    std::vector<int> m_sockets;             // guarded by m_lock: both ends of every open link
    std::vector<std::thread> m_links;       // guarded by m_lock
    std::thread m_acceptor;                 // last: joined before the rest go
};
