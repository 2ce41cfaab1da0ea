#include "core/update/InstallerLaunch.h"

#include "platform/fs/UniqueFd.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace {

// In the grandchild, between fork and exec: only calls safe there.
[[noreturn]] void exec_or_report(int fd, char* const argv[], int report)
{
    // A script's interpreter reads it through /dev/fd, so the descriptor
    // must stay open across the exec.
    ::fcntl(fd, F_SETFD, 0);
    ::fexecve(fd, argv, environ);
    const int error = errno;
    [[maybe_unused]] const ssize_t told = ::write(report, &error, sizeof error);
    ::_exit(127);
}

}

// Two forks: the middle process ends at once and is reaped here, so the
// installer belongs to init rather than lingering as our child. A pipe that
// closes on exec tells whether the exec happened.
bool start_from_descriptor(int fd, const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        return false;
    plat::UniqueFd reader(ends[0]), writer(ends[1]);
    const pid_t middle = ::fork();
    if (middle < 0)
        return false;
    if (middle == 0) {
        ::close(ends[0]);
        const pid_t installer = ::fork();
        if (installer == 0)
            exec_or_report(fd, argv.data(), ends[1]);
        ::_exit(installer < 0 ? 1 : 0);
    }
    writer.reset();
    int status = 0;
    while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return false;
    int error = 0;
    ssize_t got = 0;
    do
        got = ::read(reader.get(), &error, sizeof error);
    while (got < 0 && errno == EINTR);
    return got == 0;
}
