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

bool send_all(int fd, const void* data, std::size_t size)
{
    const auto* at = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t sent = ::send(fd, at, size, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return false;
        at += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

bool receive_all(int fd, void* data, std::size_t size)
{
    auto* at = static_cast<char*>(data);
    while (size > 0) {
        const ssize_t got = ::recv(fd, at, size, 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        at += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
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
