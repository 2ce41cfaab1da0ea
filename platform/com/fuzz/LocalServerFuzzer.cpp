// Any process of the user may write to a local server's socket: the input is
// sent as one client's bytes (in pieces of a size taken from its last byte)
// to a server in this process. Each whole request gets one reply, in order,
// with a result a request can have, or the client is dropped; the server
// never stalls.

#include "platform/com/ClassFactory.h"
#include "platform/com/Com.h"
#include "platform/com/ComObject.h"
#include "platform/com/ComPtr.h"
#include "platform/com/LocalServer.h"
#include "platform/com/LocalWire.h"
#include "platform/com/tests/TestSink.h"
#include "platform/fs/UniqueFd.h"
#include "platform/fs/testing/ScopedEnvironment.h"
#include "platform/fs/testing/TempFolder.h"
#include "platform/registry/testing/TemporaryRegistry.h"
#include "platform/sync/MessageQueue.h"
#include "platform/sync/Thread.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>
#include <vector>

namespace {

using plat::local_wire::Reply;
using plat::local_wire::Request;

constexpr CLSID CLSID_FuzzedSink = plat::make_guid("{6A0F3B2C-55D1-4E9A-8C3B-0D7E9F1A2B03}");
constexpr int reply_wait_ms = 5000;

class QuietSink final : public plat::ComObject<ITestSink> {
public:
    HRESULT Record(LONG, LONG) noexcept override { return S_OK; }
};

void check(bool ok, const char* what)
{
    if (ok) return;
    std::fprintf(stderr, "local server fuzzer: %s\n", what);
    std::abort();
}

// The server on a thread of its own, as the program's COM-server thread runs it.
struct Server {
    Server()
    {
        std::promise<HRESULT> registered;
        auto result = registered.get_future();
        thread.start([&registered]() -> DWORD {
            CoInitialize(nullptr);
            {
                plat::LocalServer server;
                auto factory = plat::ComPtr<IClassFactory>::adopt(new plat::ClassFactory<QuietSink>());
                const HRESULT hr = server.register_class(CLSID_FuzzedSink, factory.get(), test_sink_marshalling());
                registered.set_value(hr);
                if (SUCCEEDED(hr)) server.run();
            }
            CoUninitialize();
            return 0;
        });
        check(result.get() == S_OK, "the server cannot start");
        socket = runtime / (plat::format_guid(CLSID_FuzzedSink) + ".sock");
    }
    ~Server()
    {
        PostThreadMessageW(thread.id(), WM_QUIT, 0, 0);
        thread.join();
    }

    plat::TemporaryRegistry registry;
    plat::TempFolder runtime;
    plat::ScopedEnvironment runtime_variable{"STRIMO_RUNTIME_DIR", runtime.path().c_str()};
    plat::Thread thread;
    std::string socket;
};

plat::UniqueFd connect_to(const std::string& socket)
{
    plat::UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socket.c_str());
    int connected = ::connect(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address);
    while (connected != 0 && (errno == EINTR || errno == EALREADY)) {
        pollfd writable{fd.get(), POLLOUT, 0};
        ::poll(&writable, 1, reply_wait_ms);
        connected = ::connect(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address);
        if (connected != 0 && errno == EISCONN) connected = 0;
    }
    check(connected == 0, "cannot connect");
    return fd;
}

// Sends all of it unless the server cut the connection. libFuzzer's timer
// interrupts system calls, so EINTR is no answer.
void send_all(int fd, const std::uint8_t* bytes, std::size_t size)
{
    while (size > 0) {
        const ssize_t sent = ::send(fd, bytes, size, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return;
        bytes += sent;
        size -= static_cast<std::size_t>(sent);
    }
}

// The next reply; false when the server closed the connection.
bool next_reply(int fd, Reply& reply)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(reply_wait_ms);
    std::size_t got = 0;
    auto* into = reinterpret_cast<char*>(&reply);
    while (got < sizeof reply) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        check(left.count() > 0, "a request was neither answered nor refused");
        pollfd readable{fd, POLLIN, 0};
        if (::poll(&readable, 1, static_cast<int>(left.count())) != 1) continue;
        const ssize_t n = ::recv(fd, into + got, sizeof reply - got, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        got += static_cast<std::size_t>(n);
    }
    return true;
}

}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static Server server;
    FuzzedDataProvider input(data, size);
    const std::size_t piece = input.ConsumeIntegralInRange<std::size_t>(1, 64);
    const std::vector<std::uint8_t> bytes = input.ConsumeRemainingBytes<std::uint8_t>();

    plat::UniqueFd client = connect_to(server.socket);
    for (std::size_t at = 0; at < bytes.size(); at += piece)
        send_all(client.get(), bytes.data() + at, std::min(piece, bytes.size() - at));
    const std::size_t requests = bytes.size() / sizeof(Request);
    std::size_t answered = 0;
    bool created = false;
    for (Reply reply{}; answered < requests && next_reply(client.get(), reply); ++answered) {
        Request request;
        std::memcpy(&request, bytes.data() + answered * sizeof request, sizeof request);
        using plat::local_wire::Op;
        if (request.op == Op::Create && !created) {
            const bool asks = request.iid == IID_IUnknown || request.iid == IID_ITestSink;
            check(reply.hr == (asks ? S_OK : E_NOINTERFACE), "a creation answered wrongly");
            created = asks;
        } else if (request.op == Op::Call && created) {
            check(reply.hr == (request.method == 1 ? S_OK : E_INVALIDARG), "a call answered wrongly");
        } else {
            check(reply.hr == E_UNEXPECTED, "a request out of place answered wrongly");
        }
    }
    // A proxy never has more than one call out; a client with up to 16 is served.
    check(answered == requests || requests > 16, "a client with few requests was dropped");
    return 0;
}
