#pragma once
// How an interface crosses to a local server (LocalServer.h). The subsystem
// that owns the interface supplies its marshalling: each method travels as a
// method number with two 32-bit arguments and comes back as an HRESULT. The
// server runs calls through `invoke`; a client process makes the interface
// known once (add_local_interface) before it creates a class with
// CLSCTX_LOCAL_SERVER, and gets a proxy made by `make_proxy`.

#include "platform/com/ComObject.h"
#include "platform/com/Unknown.h"
#include "platform/fs/UniqueFd.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <new>

namespace plat {

struct LocalCall {
    std::uint32_t method;
    std::int32_t args[2];
};

// The client end of one connection to a served object; its proxy owns it.
// Calls from several threads take turns.
class LocalChannel {
public:
    explicit LocalChannel(UniqueFd connected);
    ~LocalChannel();
    LocalChannel(const LocalChannel&) = delete;
    LocalChannel& operator=(const LocalChannel&) = delete;

    // Sends the call and waits for its result; RPC_E_DISCONNECTED when the
    // server went away or dropped this client.
    HRESULT call(const LocalCall& call) noexcept;

private:
    std::mutex m_lock;   // one call at a time on the socket
    UniqueFd m_fd;       // guarded by m_lock
};

struct LocalInterface {
    IID iid;
    // Server side, on the serving thread: runs the call on the served object,
    // which answers iid. E_INVALIDARG for a method number it does not know.
    HRESULT (*invoke)(IUnknown* object, const LocalCall& call) noexcept;
    // Client side: a new proxy answering iid over the channel (one reference,
    // the caller's), or null when it cannot be made.
    IUnknown* (*make_proxy)(std::unique_ptr<LocalChannel> channel) noexcept;
};

// Makes the interface known to this process's local-server clients; adding
// one twice is harmless.
void add_local_interface(const LocalInterface& carried);

// The base of an interface's proxy: each method becomes one call on the channel.
//   class FooProxy final : public plat::LocalProxy<IFoo> {
//       using LocalProxy::LocalProxy;
//       HRESULT Bar(LONG x) noexcept override { return call(1, x); }
//   };
template <class Interface>
class LocalProxy : public ComObject<Interface> {
public:
    explicit LocalProxy(std::unique_ptr<LocalChannel> channel) : m_channel(std::move(channel)) {}

protected:
    HRESULT call(std::uint32_t method, std::int32_t first = 0, std::int32_t second = 0) noexcept
    {
        return m_channel->call({method, {first, second}});
    }

private:
    std::unique_ptr<LocalChannel> m_channel;
};

// A LocalInterface's make_proxy for a proxy class built on LocalProxy.
template <class Proxy>
IUnknown* make_local_proxy(std::unique_ptr<LocalChannel> channel) noexcept
{
    return new (std::nothrow) Proxy(std::move(channel));
}

}
