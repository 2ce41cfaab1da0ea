#include "ThrottleProxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t chunk = 16384;

sockaddr_in loopback(int port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    return a;
}

bool write_all(int fd, const char* data, std::size_t n)
{
    while (n > 0) {
        const ssize_t w = ::send(fd, data, n, MSG_NOSIGNAL);
        if (w <= 0) return false;
        data += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// The bytes a request's header block asks for: its "Range: bytes=a-b" (b may
// be missing), or the whole file.
ThrottleProxy::Request parse_request(const std::string& head, int connection)
{
    ThrottleProxy::Request r{connection, 0, UINT64_MAX, false, 0};
    const std::string text = lower(head);
    const std::size_t at = text.find("\r\nrange:");
    if (at == std::string::npos) return r;
    const std::size_t bytes = text.find("bytes=", at);
    const std::size_t end = text.find("\r\n", at + 2);
    if (bytes == std::string::npos || bytes > end) return r;
    const std::string spec = text.substr(bytes + 6, end - bytes - 6);
    const std::size_t dash = spec.find('-');
    if (dash == std::string::npos) return r;
    r.ranged = true;
    r.first = std::stoull(spec.substr(0, dash));
    if (dash + 1 < spec.size()) r.last = std::stoull(spec.substr(dash + 1));
    return r;
}

}

// What one link parses as bytes pass: requests from the client, and where
// the body of each reply starts.
struct ThrottleProxy::Link {
    std::string asked;             // client bytes not yet a whole header block
    std::string reply_head;        // reply bytes before the body of the current reply
    bool in_body{false};
    std::size_t current{SIZE_MAX};  // index of the request being answered in m_requests
};

ThrottleProxy::ThrottleProxy(int server_port, RateOf rate_of)
    : m_server_port(server_port), m_rate_of(std::move(rate_of))
{
    m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = loopback(0);
    socklen_t n = sizeof a;
    ::bind(m_listener, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(m_listener, 64);
    ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&a), &n);
    m_port = ntohs(a.sin_port);
    m_acceptor = std::thread([this] { accept_loop(); });
}

ThrottleProxy::~ThrottleProxy()
{
    m_stop = true;
    m_acceptor.join();
    close_links();
    ::close(m_listener);
}

void ThrottleProxy::reset(RateOf rate_of)
{
    close_links();
    std::scoped_lock hold(m_lock);
    m_rate_of = std::move(rate_of);
    m_accepted = 0;
    m_requests.clear();
}

std::vector<ThrottleProxy::Request> ThrottleProxy::requests() const
{
    std::scoped_lock hold(m_lock);
    return m_requests;
}

// Links never close their own sockets: a number closed early could be reused
// by a new link before this shuts it down.
void ThrottleProxy::close_links()
{
    std::vector<int> sockets;
    std::vector<std::thread> links;
    {
        std::scoped_lock hold(m_lock);
        sockets.swap(m_sockets);
        links.swap(m_links);
    }
    for (const int fd : sockets) ::shutdown(fd, SHUT_RDWR);
    for (std::thread& t : links) t.join();
    for (const int fd : sockets) ::close(fd);
}

void ThrottleProxy::accept_loop()
{
    while (!m_stop) {
        pollfd p{m_listener, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0) continue;
        const int client = ::accept(m_listener, nullptr, nullptr);
        if (client < 0) continue;
        std::scoped_lock hold(m_lock);
        const int connection = m_accepted++;
        m_sockets.push_back(client);
        m_links.emplace_back([this, client, connection] { serve(client, connection); });
    }
}

void ThrottleProxy::serve(int client, int connection)
{
    double rate = 0;   // set by the first request: no reply comes before it
    const int server = ::socket(AF_INET, SOCK_STREAM, 0);
    {
        std::scoped_lock hold(m_lock);
        m_sockets.push_back(server);
    }
    const sockaddr_in a = loopback(m_server_port);
    if (::connect(server, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) return;
    Link link;
    Clock::time_point next_send = Clock::now();
    std::vector<char> buffer(chunk);
    while (!m_stop) {
        const Clock::time_point now = Clock::now();
        const bool may_send = now >= next_send;
        pollfd p[2] = {{client, POLLIN, 0}, {server, static_cast<short>(may_send ? POLLIN : 0), 0}};
        const auto wait = std::min<Clock::duration>(may_send ? Clock::duration::max() : next_send - now,
                                                    std::chrono::milliseconds(100));
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count();
        const timespec timeout{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
        if (::ppoll(p, 2, &timeout, nullptr) < 0) return;
        if (p[0].revents & (POLLIN | POLLHUP | POLLERR)) {
            const ssize_t n = ::recv(client, buffer.data(), buffer.size(), 0);
            if (n <= 0 || !write_all(server, buffer.data(), static_cast<std::size_t>(n))) return;
            link.asked.append(buffer.data(), static_cast<std::size_t>(n));
            for (std::size_t end; (end = link.asked.find("\r\n\r\n")) != std::string::npos;) {
                const Request r = parse_request(link.asked.substr(0, end), connection);
                link.asked.erase(0, end + 4);
                std::scoped_lock hold(m_lock);
                if (rate == 0) rate = m_rate_of(r);
                m_requests.push_back(r);
                link.current = m_requests.size() - 1;
                link.in_body = false;
                link.reply_head.clear();
            }
        }
        if (p[1].revents & (POLLIN | POLLHUP | POLLERR)) {
            const ssize_t n = ::recv(server, buffer.data(), buffer.size(), 0);
            if (n <= 0 || !write_all(client, buffer.data(), static_cast<std::size_t>(n))) return;
            // Idle time earns nothing: the pace starts again from now.
            next_send = std::max(next_send, Clock::now()) +
                        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(double(n) / rate));
            std::size_t body = static_cast<std::size_t>(n);
            if (!link.in_body) {
                link.reply_head.append(buffer.data(), static_cast<std::size_t>(n));
                const std::size_t end = link.reply_head.find("\r\n\r\n");
                body = end == std::string::npos ? 0 : link.reply_head.size() - end - 4;
                link.in_body = end != std::string::npos;
            }
            std::scoped_lock hold(m_lock);
            if (link.current < m_requests.size()) m_requests[link.current].delivered += body;
        }
    }
}
