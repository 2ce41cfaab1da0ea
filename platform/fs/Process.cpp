#include "Process.h"

#include "UniqueFd.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace plat {

namespace {

std::vector<char*> argument_vector(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    return argv;
}

int wait_for(pid_t child)
{
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return status;
}

// In the grandchild, between fork and exec: only calls safe there. The
// errno of a failed exec goes back through `report`.
[[noreturn]] void exec_or_report(int fd, char* const argv[], int report)
{
    if (fd >= 0) {
        // A script's interpreter reads it through /dev/fd, so the descriptor
        // must stay open across the exec.
        ::fcntl(fd, F_SETFD, 0);
        ::fexecve(fd, argv, environ);
    } else {
        ::execvp(argv[0], argv);
    }
    const int error = errno;
    [[maybe_unused]] const ssize_t told = ::write(report, &error, sizeof error);
    ::_exit(127);
}

// Two forks: the middle process ends at once and is reaped here, so the
// program belongs to init rather than lingering as our child. A pipe that
// closes on exec tells whether the exec happened. fd < 0: by name.
bool start_detached_with(int fd, const std::vector<std::string>& args)
{
    if (args.empty()) return false;
    std::vector<char*> argv = argument_vector(args);
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) return false;
    UniqueFd reader(ends[0]), writer(ends[1]);
    const pid_t middle = ::fork();
    if (middle < 0) return false;
    if (middle == 0) {
        ::close(ends[0]);
        const pid_t program = ::fork();
        if (program == 0) exec_or_report(fd, argv.data(), ends[1]);
        ::_exit(program < 0 ? 1 : 0);
    }
    writer.reset();
    const int status = wait_for(middle);
    if (status < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return false;
    int error = 0;
    ssize_t got = 0;
    do
        got = ::read(reader.get(), &error, sizeof error);
    while (got < 0 && errno == EINTR);
    return got == 0;
}

std::string read_all(int fd)
{
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return text;
        text.append(buffer, static_cast<std::size_t>(got));
    }
}

}

bool start_detached(const std::vector<std::string>& args)
{
    return start_detached_with(-1, args);
}

bool start_detached_from_descriptor(int fd, const std::vector<std::string>& args)
{
    return fd >= 0 && start_detached_with(fd, args);
}

std::optional<ProgramOutput> run_program(const std::vector<std::string>& args)
{
    if (args.empty()) return std::nullopt;
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) return std::nullopt;
    UniqueFd reader(ends[0]), writer(ends[1]);
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) return std::nullopt;
    posix_spawn_file_actions_adddup2(&actions, writer.get(), STDOUT_FILENO);
    std::vector<char*> argv = argument_vector(args);
    pid_t child = 0;
    const int error = ::posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) return std::nullopt;
    writer.reset();   // the output ends when the child's copy closes
    ProgramOutput result;
    result.output = read_all(reader.get());
    const int status = wait_for(child);
    if (status < 0 || !WIFEXITED(status)) return std::nullopt;
    result.exit_code = WEXITSTATUS(status);
    return result;
}

std::vector<std::string> desktop_open_command(std::string_view target)
{
    // xdg-open refuses what begins with "-" as an unknown option.
    std::string argument(target);
    if (!argument.empty() && argument[0] == '-') argument = "./" + argument;
    return {"xdg-open", argument};
}

}
