#pragma once
// What travels on a local server's socket (private to the local server and
// its clients). Each request is answered by one reply, in order.

#include "platform/base/Guid.h"
#include "platform/base/HResult.h"

#include <cstdint>
#include <optional>
#include <string>

namespace plat::local_wire {

enum class Op : std::uint32_t { Create = 1, Call = 2 };

struct Request {
    Op op;
    std::uint32_t method;   // Call
    GUID iid;               // Create: the interface asked for
    std::int32_t args[2];   // Call
};
static_assert(sizeof(Request) == 32);

struct Reply {
    HRESULT hr;
    GUID iid;               // Create: the interface the object is served as
};
static_assert(sizeof(Reply) == 20);

// "<runtime folder>/<class id>.sock", or nothing without a runtime folder.
std::optional<std::string> socket_path(const CLSID& clsid);

// Whole buffers, retried on EINTR; false on any failure or an early end.
bool send_all(int fd, const void* data, std::size_t size);
bool receive_all(int fd, void* data, std::size_t size);

// The user id at the other end of a connected local socket, or nothing.
std::optional<unsigned> peer_uid(int fd);

}
