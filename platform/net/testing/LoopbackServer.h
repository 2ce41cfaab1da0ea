#pragma once
// For tests: an httplib server on 127.0.0.1 at a free port, serving on its own
// thread from start() until the object dies. Server may be httplib::SSLServer
// (made with the paths of a certificate and its key); url() then names https.

#include <httplib.h>

#include <chrono>
#include <string>
#include <thread>
#include <type_traits>

namespace plat {

template <class Server = httplib::Server>
class LoopbackServer {
public:
    template <class... Args>
    explicit LoopbackServer(Args&&... args) : server(std::forward<Args>(args)...)
    {
        port = server.bind_to_any_port("127.0.0.1");
    }
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;
    ~LoopbackServer()
    {
        server.stop();
        if (thread.joinable())
            thread.join();
    }

    // Add the handlers first: httplib does not guard them against the serving thread.
    void start()
    {
        thread = std::thread([this] { server.listen_after_bind(); });
        while (!server.is_running())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::string url(const std::string& path) const { return scheme() + "://127.0.0.1:" + std::to_string(port) + path; }

    static std::string scheme()
    {
#ifdef CPPHTTPLIB_OPENSSL_SUPPORT
        if constexpr (std::is_same_v<Server, httplib::SSLServer>)
            return "https";
#endif
        return "http";
    }

    // GET prefix/N redirects to prefix/N-1, and prefix/0 is answered by last:
    // a chain of N redirects for tests of how many are followed.
    void redirect_chain(const std::string& prefix, httplib::Server::Handler last)
    {
        server.Get(prefix + R"(/(\d+))", [this, prefix, last](const httplib::Request& req, httplib::Response& res) {
            const int left = std::stoi(req.matches[1]);
            if (left == 0)
                last(req, res);
            else
                res.set_redirect(url(prefix + "/" + std::to_string(left - 1)));
        });
    }

    Server server;
    int port = 0;
    std::thread thread;
};

}
