#include "core/app/testing/ProgramUnderTest.h"

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace app_testing {

using namespace std::chrono_literals;

bool wait_until(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    for (auto end = std::chrono::steady_clock::now() + limit; std::chrono::steady_clock::now() < end;
         std::this_thread::sleep_for(50ms))
        if (done())
            return true;
    return done();
}

const char* program_path() { return std::getenv("STRIMO_EXE"); }

std::string artifact_path(const std::string& name)
{
    const char* folder = std::getenv("STRIMO_ARTIFACTS");
    const std::filesystem::path path = folder ? folder : ".";
    std::error_code ignored;
    std::filesystem::create_directories(path, ignored);
    return (path / name).string();
}

ProgramUnderTest::ProgramUnderTest(std::vector<std::string> args, const std::string& err_file)
{
    const char* exe = program_path();
    if (!exe)
        return;
    args.insert(args.begin(), exe);
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!err_file.empty())
        posix_spawn_file_actions_addopen(&actions, 2, err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    if (posix_spawn(&pid, exe, &actions, nullptr, argv.data(), environ) == 0)
        m_pid = pid;
    posix_spawn_file_actions_destroy(&actions);
}

ProgramUnderTest::~ProgramUnderTest()
{
    if (m_pid && !m_status) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
}

std::optional<int> ProgramUnderTest::wait(std::chrono::milliseconds limit)
{
    wait_until([&] { return reap(); }, limit);
    if (!m_status)
        return std::nullopt;
    return WIFEXITED(*m_status) ? WEXITSTATUS(*m_status) : -1;
}

void ProgramUnderTest::kill_hard()
{
    if (!m_pid)
        return;
    ::kill(m_pid, SIGKILL);
    wait(10s);
}

bool ProgramUnderTest::reap()
{
    int status = 0;
    if (!m_status && m_pid && ::waitpid(m_pid, &status, WNOHANG) == m_pid)
        m_status = status;
    return m_status.has_value();
}

}
