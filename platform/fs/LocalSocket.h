#pragma once
// Unix stream sockets at a path, for services one process of this user
// offers to the others (the local COM server, windows found by class). Made
// 0600, so only this user reaches them; one left by a process that ended is
// replaced.

#include "platform/fs/UniqueFd.h"

#include <cstdint>
#include <string>

namespace plat {

enum class ListenResult { Listening, InUse, TooLong, Failed };

struct LocalListener {
    ListenResult result = ListenResult::Failed;
    UniqueFd fd;               // valid only when Listening
    std::uint64_t inode = 0;   // of the socket file made, so only that one is removed later
};

// InUse when a live process listens at path already.
LocalListener listen_local_socket(const std::string& path, int backlog);
// A connected socket, or an invalid one when nobody listens there.
UniqueFd connect_local_socket(const std::string& path);

}
