#include "platform/com/LocalServer.h"

#include "platform/com/ComPtr.h"
#include "platform/com/IFeedNotifier.h"
#include "platform/com/LocalWire.h"

#include "platform/base/DebugLog.h"
#include "platform/fs/UniqueFd.h"
#include "platform/sync/MessageQueue.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <thread>
#include <vector>

namespace plat {

namespace {

using local_wire::Op;
using local_wire::Reply;
using local_wire::Request;

// A thread message carrying one call to the serving thread.
constexpr UINT local_call_message = 0xC001;

constexpr int listen_backlog = 16;

// One client's connection. The object is used only by the serving thread.
struct Connection {
    UniqueFd fd;
    ComPtr<IFeedNotifier> object;
    std::vector<char> pending;   // I/O thread only: bytes of a request not yet whole
};

// One request on its way to the serving thread. Dropped unanswered, it cuts
// the connection so the client does not wait for ever.
struct Call {
    std::shared_ptr<Connection> connection;
    Request request;
    bool answered = false;

    ~Call()
    {
        if (!answered)
            ::shutdown(connection->fd.get(), SHUT_RDWR);
    }
};

void drop_call(const MSG& message)
{
    delete reinterpret_cast<Call*>(message.lParam);
}

bool fill_address(const std::string& path, sockaddr_un& address)
{
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

bool someone_listens(const sockaddr_un& address)
{
    UniqueFd probe(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    return probe.valid() && ::connect(probe.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

}

struct LocalServer::State {
    ComPtr<IClassFactory> factory;   // serving thread
    std::string path;
    ino_t path_inode = 0;            // the socket file we made, so only it is removed
    UniqueFd listener;
    UniqueFd wake_read, wake_write;  // a byte on wake_write stops the I/O thread
    DWORD serving_thread = 0;
    std::thread io;                  // last: joined before the rest go

    void io_loop() noexcept;
    bool read_requests(const std::shared_ptr<Connection>& connection) noexcept;
    void serve(Call& call) noexcept;
    HRESULT execute(Connection& connection, const Request& request) noexcept;
    void stop() noexcept;
};

LocalServer::LocalServer() : m_state(std::make_unique<State>()) {}

LocalServer::~LocalServer()
{
    m_state->stop();
}

HRESULT LocalServer::register_class(REFCLSID clsid, IClassFactory* factory)
{
    State& s = *m_state;
    if (s.listener.valid() || !factory)
        return factory ? E_UNEXPECTED : E_POINTER;
    auto path = local_wire::socket_path(clsid);
    sockaddr_un address{};
    if (!path || !fill_address(*path, address))
        return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    UniqueFd listener(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!listener.valid())
        return HRESULT_FROM_WIN32(ERROR_NOT_ENOUGH_MEMORY);
    if (::bind(listener.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        if (errno != EADDRINUSE)
            return E_ACCESSDENIED;
        if (someone_listens(address))
            return CO_E_OBJISREG;
        // Left by a server that ended without removing it.
        ::unlink(path->c_str());
        if (::bind(listener.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
            return E_ACCESSDENIED;
    }
    struct stat made {};
    if (::chmod(path->c_str(), 0600) != 0 || ::stat(path->c_str(), &made) != 0 ||
        ::listen(listener.get(), listen_backlog) != 0) {
        ::unlink(path->c_str());
        return E_ACCESSDENIED;
    }
    int pipe_ends[2];
    if (::pipe2(pipe_ends, O_CLOEXEC) != 0) {
        ::unlink(path->c_str());
        return HRESULT_FROM_WIN32(ERROR_NOT_ENOUGH_MEMORY);
    }
    s.wake_read = UniqueFd(pipe_ends[0]);
    s.wake_write = UniqueFd(pipe_ends[1]);
    s.factory = ComPtr<IClassFactory>(factory);
    s.path = *path;
    s.path_inode = made.st_ino;
    s.listener = std::move(listener);
    // Calls are posted to this thread's queue, which must exist before run().
    current_thread_queue();
    s.serving_thread = GetCurrentThreadId();
    s.io = std::thread([&s] { s.io_loop(); });
    return S_OK;
}

int LocalServer::run()
{
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.message != local_call_message || message.hwnd)
            continue;
        std::unique_ptr<Call> call(reinterpret_cast<Call*>(message.lParam));
        m_state->serve(*call);
    }
    m_state->stop();
    return static_cast<int>(message.wParam);
}

void LocalServer::State::serve(Call& call) noexcept
{
    const Reply reply{execute(*call.connection, call.request)};
    call.answered = local_wire::send_all(call.connection->fd.get(), &reply, sizeof reply);
}

HRESULT LocalServer::State::execute(Connection& connection, const Request& request) noexcept
{
    if (request.op == Op::Create) {
        if (connection.object)
            return E_UNEXPECTED;
        if (request.iid != IFeedNotifier::iid)
            return E_NOINTERFACE;
        return factory->CreateInstance(nullptr, IFeedNotifier::iid, connection.object.put_void());
    }
    if (request.op != Op::Call || !connection.object)
        return E_UNEXPECTED;
    switch (request.method) {
    case local_wire::NotifySubscribe:
        return connection.object->NotifySubscribe(request.args[0]);
    case local_wire::NotifyUnsubscribe:
        return connection.object->NotifyUnsubscribe(request.args[0], static_cast<VARIANT_BOOL>(request.args[1]));
    default:
        return E_INVALIDARG;
    }
}

void LocalServer::State::io_loop() noexcept
{
    std::vector<std::shared_ptr<Connection>> connections;
    for (;;) {
        std::vector<pollfd> watched{{wake_read.get(), POLLIN, 0}, {listener.get(), POLLIN, 0}};
        for (const auto& c : connections)
            watched.push_back({c->fd.get(), POLLIN, 0});
        if (::poll(watched.data(), watched.size(), -1) < 0) {
            if (errno == EINTR)
                continue;
            debug_log("com: local server cannot wait on its sockets");
            return;
        }
        if (watched[0].revents)
            return;
        // Walk the connections before accepting, so watched[] still matches.
        for (std::size_t i = connections.size(); i-- > 0;) {
            if (watched[i + 2].revents && !read_requests(connections[i]))
                connections.erase(connections.begin() + static_cast<std::ptrdiff_t>(i));
        }
        if (watched[1].revents & POLLIN) {
            UniqueFd accepted(::accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
            if (!accepted.valid())
                continue;
            const auto uid = local_wire::peer_uid(accepted.get());
            if (!uid || *uid != ::geteuid()) {
                debug_log("com: local server refused a client of another user");
                continue;
            }
            auto connection = std::make_shared<Connection>();
            connection->fd = std::move(accepted);
            connections.push_back(std::move(connection));
        }
    }
}

bool LocalServer::State::read_requests(const std::shared_ptr<Connection>& connection) noexcept
{
    char buffer[512];
    const ssize_t got = ::recv(connection->fd.get(), buffer, sizeof buffer, MSG_DONTWAIT);
    if (got < 0)
        return errno == EINTR || errno == EAGAIN;
    if (got == 0)
        return false;
    auto& pending = connection->pending;
    pending.insert(pending.end(), buffer, buffer + got);
    while (pending.size() >= sizeof(Request)) {
        auto call = std::make_unique<Call>();
        call->connection = connection;
        std::memcpy(&call->request, pending.data(), sizeof(Request));
        pending.erase(pending.begin(), pending.begin() + sizeof(Request));
        // On a failed post the drop deletes the call, which cuts the connection.
        if (!post_thread_message(serving_thread, local_call_message, 0, reinterpret_cast<LPARAM>(call.release()),
                                 &drop_call))
            return false;
    }
    return true;
}

void LocalServer::State::stop() noexcept
{
    if (!io.joinable())
        return;
    const char byte = 0;
    if (::write(wake_write.get(), &byte, 1) != 1)
        debug_log("com: cannot wake the local server's I/O thread");
    io.join();
    // Remove the socket only while it is still ours.
    struct stat named {};
    if (::stat(path.c_str(), &named) == 0 && named.st_ino == path_inode)
        ::unlink(path.c_str());
    listener.reset();
}

}
