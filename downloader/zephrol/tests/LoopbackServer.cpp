#include "LoopbackServer.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

std::string HttpRequest::header(const std::string& lower_name) const
{
    for (const auto& [name, value] : headers)
        if (name == lower_name) return value;
    return {};
}

LoopbackServer::LoopbackServer(Handler handler) : m_handler(std::move(handler))
{
    m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (m_listen < 0 || ::bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_listen, 64) != 0 || ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("loopback server: cannot listen");
    m_port = ntohs(address.sin_port);
    m_acceptor = std::thread(&LoopbackServer::accept_loop, this);
}

LoopbackServer::~LoopbackServer()
{
    m_stopping = true;
    m_stop_signal.notify_all();
    ::shutdown(m_listen, SHUT_RDWR);
    m_acceptor.join();
    ::close(m_listen);
    std::list<std::thread> connections;
    {
        std::scoped_lock hold(m_lock);
        for (const int fd : m_open) ::shutdown(fd, SHUT_RDWR);
        connections.swap(m_connections);
    }
    for (std::thread& t : connections) t.join();
}

std::string LoopbackServer::url(const std::string& path) const
{
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

std::vector<HttpRequest> LoopbackServer::requests() const
{
    std::scoped_lock hold(m_lock);
    return m_requests;
}

void LoopbackServer::accept_loop()
{
    int accepted = 0;
    while (!m_stopping) {
        const int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (m_stopping) return;
            continue;
        }
        std::scoped_lock hold(m_lock);
        m_open.push_back(fd);
        m_connections.emplace_back(&LoopbackServer::serve, this, fd, ++accepted);
    }
}

void LoopbackServer::sleep_unless_stopped(int ms)
{
    std::unique_lock hold(m_lock);
    m_stop_signal.wait_for(hold, std::chrono::milliseconds(ms), [this] { return m_stopping.load(); });
}

namespace {

bool read_request(int fd, std::string& pending, HttpRequest& out)
{
    std::size_t end;
    while ((end = pending.find("\r\n\r\n")) == std::string::npos) {
        char chunk[4096];
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0) return false;
        pending.append(chunk, static_cast<std::size_t>(n));
    }
    const std::string head = pending.substr(0, end);
    pending.erase(0, end + 4);
    std::size_t line_end = head.find("\r\n");
    const std::string request_line = head.substr(0, line_end);
    const std::size_t sp1 = request_line.find(' ');
    const std::size_t sp2 = request_line.find(' ', sp1 + 1);
    out.path = request_line.substr(sp1 + 1, sp2 - sp1 - 1);
    while (line_end != std::string::npos && line_end < head.size()) {
        const std::size_t start = line_end + 2;
        line_end = head.find("\r\n", start);
        const std::string line = head.substr(start, line_end == std::string::npos ? std::string::npos : line_end - start);
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::string name = line.substr(0, colon);
        std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
        std::string value = line.substr(colon + 1);
        value.erase(0, value.find_first_not_of(' '));
        out.headers.emplace_back(name, value);
    }
    return true;
}

bool send_all(int fd, const char* bytes, std::size_t length)
{
    while (length > 0) {
        const ssize_t n = ::send(fd, bytes, length, MSG_NOSIGNAL);
        if (n <= 0) return false;
        bytes += n;
        length -= static_cast<std::size_t>(n);
    }
    return true;
}

const char* reason_of(int status)
{
    switch (status) {
    case 200: return "OK";
    case 206: return "Partial Content";
    case 302: return "Found";
    case 404: return "Not Found";
    case 416: return "Range Not Satisfiable";
    default: return "Status";
    }
}

}

bool LoopbackServer::send_reply(int fd, const HttpReply& reply)
{
    std::string head = "HTTP/1.1 " + std::to_string(reply.status) + " " + reason_of(reply.status) + "\r\n";
    for (const auto& [name, value] : reply.headers) head += name + ": " + value + "\r\n";
    head += "\r\n";
    if (!send_all(fd, head.data(), head.size())) return false;
    const std::size_t first = std::min(reply.stall_after, reply.body.size());
    if (!send_all(fd, reply.body.data(), first)) return false;
    if (first < reply.body.size()) {
        sleep_unless_stopped(reply.stall_ms);
        if (m_stopping) return false;
        return send_all(fd, reply.body.data() + first, reply.body.size() - first);
    }
    return true;
}

void LoopbackServer::serve(int fd, int connection)
{
    std::string pending;
    HttpRequest request;
    while (!m_stopping && read_request(fd, pending, request)) {
        request.connection = connection;
        {
            std::scoped_lock hold(m_lock);
            m_requests.push_back(request);
        }
        const HttpReply reply = m_handler(request);
        if (!send_reply(fd, reply)) break;
        request = HttpRequest{};
    }
    std::scoped_lock hold(m_lock);
    std::erase(m_open, fd);
    ::close(fd);
}

HttpReply reply_with_content(const std::string& content, const HttpRequest& request, const ContentOptions& options)
{
    HttpReply reply;
    reply.stall_after = options.stall_after;
    reply.stall_ms = options.stall_ms;
    const auto name = [&](const char* spelled) {
        std::string n(spelled);
        if (options.lower_case)
            std::transform(n.begin(), n.end(), n.begin(), [](unsigned char c) { return std::tolower(c); });
        return n;
    };
    if (options.error_status != 0) {
        reply.status = options.error_status;
        reply.body = "<html><body>error " + std::to_string(options.error_status) + "</body></html>";
        reply.headers.emplace_back(name("Content-Length"), std::to_string(reply.body.size()));
        return reply;
    }
    const std::string range = request.header("range");
    unsigned long long first = 0;
    unsigned long long last = 0;
    const bool ranged = options.honour_range && range.rfind("bytes=", 0) == 0 &&
                        std::sscanf(range.c_str(), "bytes=%llu-%llu", &first, &last) >= 1;
    if (!ranged) {
        reply.body = content;
    } else {
        if (range.back() == '-' || last >= content.size()) last = content.size() - 1;
        if (first >= content.size()) {
            reply.status = 416;
            reply.headers.emplace_back(name("Content-Range"), "bytes */" + std::to_string(content.size()));
            reply.headers.emplace_back(name("Content-Length"), "0");
            return reply;
        }
        first += static_cast<unsigned long long>(options.offset_shift);
        last = std::min<unsigned long long>(last + options.offset_shift, content.size() - 1);
        reply.status = 206;
        reply.body = content.substr(first, last - first + 1);
        reply.headers.emplace_back(name("Content-Range"), "bytes " + std::to_string(first) + "-" +
                                                               std::to_string(last) + "/" +
                                                               std::to_string(content.size()));
    }
    reply.headers.emplace_back(name("Content-Length"), std::to_string(reply.body.size()));
    reply.headers.emplace_back(name("Content-Type"), "application/octet-stream");
    return reply;
}

std::string make_content(std::size_t size, unsigned seed)
{
    std::string bytes(size, '\0');
    unsigned state = seed * 2654435761u + 12345u;
    for (std::size_t i = 0; i < size; ++i) {
        state = state * 1103515245u + 12345u;
        bytes[i] = static_cast<char>(state >> 16);
    }
    return bytes;
}
