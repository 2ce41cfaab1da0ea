#include "UniqueFd.h"

#include <cerrno>

#include <unistd.h>

namespace plat {

int UniqueFd::close()
{
    if (m_fd < 0) return 0;
    return ::close(std::exchange(m_fd, -1)) == 0 ? 0 : errno;
}

}
