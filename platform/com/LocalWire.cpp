#include "platform/com/LocalWire.h"

#include "platform/fs/Folders.h"

#include <sys/socket.h>

#include <cerrno>

namespace plat::local_wire {

std::optional<std::string> socket_path(const CLSID& clsid)
{
    auto folder = runtime_folder();
    if (!folder)
        return std::nullopt;
    return join_path(*folder, format_guid(clsid) + ".sock");
}

namespace {

// Repeats step (a send or a receive of what is left) until the whole buffer went.
template <class Byte, class Step>
bool transfer_all(Byte* at, std::size_t size, Step step)
{
    while (size > 0) {
        const ssize_t moved = step(at, size);
        if (moved < 0 && errno == EINTR)
            continue;
        if (moved <= 0)
            return false;
        at += moved;
        size -= static_cast<std::size_t>(moved);
    }
    return true;
}

}

bool send_all(int fd, const void* data, std::size_t size)
{
    return transfer_all(static_cast<const char*>(data), size,
                        [fd](const char* at, std::size_t left) { return ::send(fd, at, left, MSG_NOSIGNAL); });
}

bool receive_all(int fd, void* data, std::size_t size)
{
    return transfer_all(static_cast<char*>(data), size,
                        [fd](char* at, std::size_t left) { return ::recv(fd, at, left, 0); });
}

std::optional<unsigned> peer_uid(int fd)
{
    ucred credentials{};
    socklen_t length = sizeof credentials;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0)
        return std::nullopt;
    return credentials.uid;
}

}
