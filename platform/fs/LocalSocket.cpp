#include "platform/fs/LocalSocket.h"

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace plat {

namespace {

bool fill_address(const std::string& path, sockaddr_un& address)
{
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

bool bind_to(int fd, const sockaddr_un& address)
{
    return ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

}

LocalListener listen_local_socket(const std::string& path, int backlog)
{
    LocalListener made;
    sockaddr_un address{};
    if (!fill_address(path, address)) {
        made.result = ListenResult::TooLong;
        return made;
    }
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd.valid())
        return made;
    if (!bind_to(fd.get(), address)) {
        if (errno != EADDRINUSE)
            return made;
        if (connect_local_socket(path).valid()) {
            made.result = ListenResult::InUse;
            return made;
        }
        // Left by a process that ended without removing it.
        ::unlink(path.c_str());
        if (!bind_to(fd.get(), address))
            return made;
    }
    struct stat file {};
    if (::chmod(path.c_str(), 0600) != 0 || ::stat(path.c_str(), &file) != 0 || ::listen(fd.get(), backlog) != 0) {
        ::unlink(path.c_str());
        return made;
    }
    made.result = ListenResult::Listening;
    made.fd = std::move(fd);
    made.inode = file.st_ino;
    return made;
}

UniqueFd connect_local_socket(const std::string& path)
{
    sockaddr_un address{};
    if (!fill_address(path, address))
        return {};
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd.valid() || ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        return {};
    return fd;
}

}
