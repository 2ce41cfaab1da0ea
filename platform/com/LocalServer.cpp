#include "platform/com/LocalServer.h"

#include "platform/com/ComPtr.h"
#include "platform/com/LocalWire.h"

#include "platform/base/DebugLog.h"
#include "platform/fs/UniqueFd.h"
#include "platform/fs/LocalSocket.h"
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
#include <unordered_map>
#include <vector>

namespace plat {

namespace {

using local_wire::Op;
using local_wire::Reply;
using local_wire::Request;

// Thread messages to the serving thread: one call (lParam: the Call), and the
// end of a connection (wParam: its id), whose object then goes.
constexpr UINT local_call_message = 0xC001;
constexpr UINT local_closed_message = 0xC002;

constexpr int listen_backlog = 16;
// A proxy waits for each reply before its next call, so a client with more calls
// queued than this does not take its replies: it is dropped, not queued for.
constexpr int max_waiting_calls = 16;
// Clients served at once; more are refused, so the calls queued stay bounded.
constexpr std::size_t max_clients = 64;

// One client's connection. Its object lives in the serving thread's table.
struct Connection {
    std::uint64_t id = 0;
    UniqueFd fd;
    std::vector<char> pending;       // I/O thread only: bytes of a request not yet whole
    std::atomic<int> waiting{0};     // calls posted to the serving thread and not yet answered
    std::atomic<bool> dropped{false};

    // Ends the connection from this side; the I/O thread then sees it close.
    void drop() noexcept
    {
        dropped = true;
        ::shutdown(fd.get(), SHUT_RDWR);
    }
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
            connection->drop();
    }
};

// Sends the reply without waiting: a client whose socket has no room for it is
// not reading. False when it was not sent whole.
bool send_reply(int fd, const Reply& reply)
{
    for (;;) {
        const ssize_t sent = ::send(fd, &reply, sizeof reply, MSG_DONTWAIT | MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            debug_log("com: local server dropped a client that does not take its replies");
        return sent == static_cast<ssize_t>(sizeof reply);
    }
}

void drop_call(const MSG& message)
{
    delete reinterpret_cast<Call*>(message.lParam);
}

}

struct LocalServer::State {
    ComPtr<IClassFactory> factory;   // serving thread
    LocalInterface served{};
    // Serving thread only: the object of each connection, by connection id, so
    // that it is created, called and released there and nowhere else.
    std::unordered_map<std::uint64_t, ComPtr<IUnknown>> objects;
    std::string path;
    ino_t path_inode = 0;            // the socket file we made, so only it is removed
    UniqueFd listener;
    UniqueFd wake_read, wake_write;  // a byte on wake_write stops the I/O thread
    DWORD serving_thread = 0;
    std::uint64_t last_connection_id = 0;   // I/O thread only
    std::thread io;                  // last: joined before the rest go

    void io_loop() noexcept;
    void accept_client(std::vector<std::shared_ptr<Connection>>& connections) noexcept;
    bool read_requests(const std::shared_ptr<Connection>& connection) noexcept;
    void serve(Call& call) noexcept;
    Reply execute(std::uint64_t connection, const Request& request) noexcept;
    void stop() noexcept;
};

LocalServer::LocalServer() : m_state(std::make_unique<State>()) {}

LocalServer::~LocalServer()
{
    m_state->stop();
}

HRESULT LocalServer::register_class(REFCLSID clsid, IClassFactory* factory, const LocalInterface& served)
{
    State& s = *m_state;
    if (s.listener.valid() || !factory)
        return factory ? E_UNEXPECTED : E_POINTER;
    auto path = local_wire::socket_path(clsid);
    if (!path)
        return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    LocalListener made = listen_local_socket(*path, listen_backlog);
    switch (made.result) {
    case ListenResult::Listening: break;
    case ListenResult::InUse: return CO_E_OBJISREG;
    case ListenResult::TooLong: return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    case ListenResult::Failed: return E_ACCESSDENIED;
    }
    UniqueFd listener = std::move(made.fd);
    int pipe_ends[2];
    if (::pipe2(pipe_ends, O_CLOEXEC) != 0) {
        ::unlink(path->c_str());
        return HRESULT_FROM_WIN32(ERROR_NOT_ENOUGH_MEMORY);
    }
    s.wake_read = UniqueFd(pipe_ends[0]);
    s.wake_write = UniqueFd(pipe_ends[1]);
    s.factory = ComPtr<IClassFactory>(factory);
    s.served = served;
    s.path = *path;
    s.path_inode = made.inode;
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
        if (message.hwnd)
            continue;
        if (message.message == local_call_message) {
            std::unique_ptr<Call> call(reinterpret_cast<Call*>(message.lParam));
            m_state->serve(*call);
        } else if (message.message == local_closed_message) {
            m_state->objects.erase(static_cast<std::uint64_t>(message.wParam));
        }
    }
    m_state->stop();
    return static_cast<int>(message.wParam);
}

void LocalServer::State::serve(Call& call) noexcept
{
    Connection& connection = *call.connection;
    // Counted down before the reply goes: the client may send its next call at once.
    connection.waiting.fetch_sub(1);
    if (connection.dropped)
        return;
    call.answered = send_reply(connection.fd.get(), execute(connection.id, call.request));
}

Reply LocalServer::State::execute(std::uint64_t connection, const Request& request) noexcept
{
    const auto found = objects.find(connection);
    if (request.op == Op::Create) {
        if (found != objects.end())
            return {E_UNEXPECTED, GUID_NULL};
        if (request.iid != IID_IUnknown && request.iid != served.iid)
            return {E_NOINTERFACE, GUID_NULL};
        ComPtr<IUnknown> object;
        const HRESULT hr = factory->CreateInstance(nullptr, served.iid, object.put_void());
        if (SUCCEEDED(hr))
            objects.emplace(connection, std::move(object));
        return {hr, served.iid};
    }
    if (request.op != Op::Call || found == objects.end())
        return {E_UNEXPECTED, GUID_NULL};
    return {served.invoke(found->second.get(), LocalCall{request.method, {request.args[0], request.args[1]}}),
            GUID_NULL};
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
            if (!watched[i + 2].revents || read_requests(connections[i]))
                continue;
            // The object goes on the serving thread; a thread that has quit took its objects along.
            post_thread_message(serving_thread, local_closed_message, static_cast<WPARAM>(connections[i]->id), 0);
            connections.erase(connections.begin() + static_cast<std::ptrdiff_t>(i));
        }
        if (watched[1].revents & POLLIN)
            accept_client(connections);
    }
}

void LocalServer::State::accept_client(std::vector<std::shared_ptr<Connection>>& connections) noexcept
{
    UniqueFd accepted(::accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
    if (!accepted.valid())
        return;
    const auto uid = local_wire::peer_uid(accepted.get());
    if (!uid || *uid != ::geteuid()) {
        debug_log("com: local server refused a client of another user");
        return;
    }
    if (connections.size() >= max_clients) {
        debug_log("com: local server refused a client: too many connected");
        return;
    }
    auto connection = std::make_shared<Connection>();
    connection->id = ++last_connection_id;
    connection->fd = std::move(accepted);
    connections.push_back(std::move(connection));
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
        if (connection->waiting.load() >= max_waiting_calls) {
            debug_log("com: local server dropped a client that queues calls without taking replies");
            connection->drop();
            return false;
        }
        auto call = std::make_unique<Call>();
        call->connection = connection;
        std::memcpy(&call->request, pending.data(), sizeof(Request));
        pending.erase(pending.begin(), pending.begin() + sizeof(Request));
        connection->waiting.fetch_add(1);
        // On a failed post the drop deletes the call, which cuts the connection.
        if (!post_thread_message(serving_thread, local_call_message, 0, reinterpret_cast<LPARAM>(call.release()),
                                 &drop_call))
            return false;
    }
    return true;
}

void LocalServer::State::stop() noexcept
{
    if (io.joinable()) {
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
    // The I/O thread is gone, so no close is still on its way: release what is left here.
    objects.clear();
}

}
