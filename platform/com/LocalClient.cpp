// The client half of the local server: channels, the table of interfaces this
// process can carry, and creation by class id.

#include "platform/com/LocalMarshalling.h"
#include "platform/com/LocalServer.h"
#include "platform/com/LocalWire.h"

#include "platform/base/DebugLog.h"
#include "platform/fs/LocalSocket.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <new>
#include <optional>
#include <vector>

namespace plat {

namespace {

using local_wire::Op;
using local_wire::Reply;
using local_wire::Request;

// One request and its reply; RPC_E_DISCONNECTED when the server went away.
Reply exchange(int fd, const Request& request)
{
    Reply reply{};
    if (!local_wire::send_all(fd, &request, sizeof request) || !local_wire::receive_all(fd, &reply, sizeof reply))
        return {RPC_E_DISCONNECTED, GUID_NULL};
    return reply;
}

// The interfaces this process's clients carry, as a proxy/stub registration did.
struct InterfaceTable {
    std::mutex lock;
    std::vector<LocalInterface> carried;   // guarded by lock
};

InterfaceTable& interface_table()
{
    static InterfaceTable table;
    return table;
}

std::optional<LocalInterface> carried_interface(REFIID iid)
{
    InterfaceTable& table = interface_table();
    std::scoped_lock hold(table.lock);
    for (const auto& carried : table.carried)
        if (carried.iid == iid)
            return carried;
    return std::nullopt;
}


}

LocalChannel::LocalChannel(UniqueFd connected) : m_fd(std::move(connected)) {}

LocalChannel::~LocalChannel() = default;

HRESULT LocalChannel::call(const LocalCall& call) noexcept
{
    const Request request{Op::Call, call.method, GUID_NULL, {call.args[0], call.args[1]}};
    std::scoped_lock hold(m_lock);
    return exchange(m_fd.get(), request).hr;
}

void add_local_interface(const LocalInterface& carried)
{
    InterfaceTable& table = interface_table();
    std::scoped_lock hold(table.lock);
    for (const auto& known : table.carried)
        if (known.iid == carried.iid)
            return;
    table.carried.push_back(carried);
}

HRESULT create_local_object(REFCLSID clsid, REFIID iid, void** object) noexcept
try {
    *object = nullptr;
    auto path = local_wire::socket_path(clsid);
    if (!path)
        return REGDB_E_CLASSNOTREG;
    UniqueFd fd = connect_local_socket(*path);
    if (!fd.valid())
        return REGDB_E_CLASSNOTREG;
    const auto uid = local_wire::peer_uid(fd.get());
    if (!uid || *uid != ::geteuid()) {
        debug_log("com: the local server of a class belongs to another user");
        return E_ACCESSDENIED;
    }
    const Reply created = exchange(fd.get(), Request{Op::Create, 0, iid, {0, 0}});
    if (FAILED(created.hr))
        return created.hr;
    const auto carried = carried_interface(created.iid);
    if (!carried) {
        debug_log("com: no proxy for the interface a local server serves: " + format_guid(created.iid));
        return E_NOINTERFACE;
    }
    IUnknown* proxy = carried->make_proxy(std::make_unique<LocalChannel>(std::move(fd)));
    if (!proxy)
        return E_OUTOFMEMORY;
    const HRESULT hr = proxy->QueryInterface(iid, object);
    proxy->Release();
    return hr;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

}
