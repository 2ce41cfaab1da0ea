// The client half of the local server: the IFeedNotifier proxy.

#include "platform/com/ComObject.h"
#include "platform/com/IFeedNotifier.h"
#include "platform/com/LocalServer.h"
#include "platform/com/LocalWire.h"

#include "platform/base/DebugLog.h"
#include "platform/fs/UniqueFd.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <mutex>
#include <new>

namespace plat {

namespace {

using local_wire::Op;
using local_wire::Reply;
using local_wire::Request;

// One request and its reply; RPC_E_DISCONNECTED when the server went away.
HRESULT exchange(int fd, const Request& request)
{
    Reply reply{};
    if (!local_wire::send_all(fd, &request, sizeof request) || !local_wire::receive_all(fd, &reply, sizeof reply))
        return RPC_E_DISCONNECTED;
    return reply.hr;
}

class FeedNotifierProxy final : public ComObject<IFeedNotifier> {
public:
    explicit FeedNotifierProxy(UniqueFd fd) : m_fd(std::move(fd)) {}

    HRESULT NotifySubscribe(LONG lChannelID) noexcept override
    {
        return call(local_wire::NotifySubscribe, lChannelID, 0);
    }
    HRESULT NotifyUnsubscribe(LONG lChannelID, VARIANT_BOOL bBefore) noexcept override
    {
        return call(local_wire::NotifyUnsubscribe, lChannelID, bBefore);
    }

private:
    HRESULT call(std::uint32_t method, std::int32_t first, std::int32_t second)
    {
        Request request{Op::Call, method, GUID_NULL, {first, second}};
        std::scoped_lock hold(m_lock);
        return exchange(m_fd.get(), request);
    }

    std::mutex m_lock;   // one call at a time on the socket
    UniqueFd m_fd;       // guarded by m_lock
};

}

HRESULT create_local_object(REFCLSID clsid, REFIID iid, void** object) noexcept
try {
    *object = nullptr;
    auto path = local_wire::socket_path(clsid);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (!path || path->size() >= sizeof address.sun_path)
        return REGDB_E_CLASSNOTREG;
    std::memcpy(address.sun_path, path->c_str(), path->size() + 1);
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd.valid())
        return E_OUTOFMEMORY;
    if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        return REGDB_E_CLASSNOTREG;
    const auto uid = local_wire::peer_uid(fd.get());
    if (!uid || *uid != ::geteuid()) {
        debug_log("com: the local server of a class belongs to another user");
        return E_ACCESSDENIED;
    }
    if (iid != IID_IUnknown && iid != IFeedNotifier::iid)
        return E_NOINTERFACE;
    if (HRESULT hr = exchange(fd.get(), Request{Op::Create, 0, IFeedNotifier::iid, {0, 0}}); FAILED(hr))
        return hr;
    IFeedNotifier* proxy = new FeedNotifierProxy(std::move(fd));
    *object = iid == IID_IUnknown ? static_cast<void*>(static_cast<IUnknown*>(proxy)) : static_cast<void*>(proxy);
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

}
