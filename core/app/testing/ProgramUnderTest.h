#pragma once
// For end-to-end tests: the real program, started as a child process from
// the executable that STRIMO_EXE names, killed with SIGKILL if it still runs
// when the object goes.

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace app_testing {

// Polls done every 50 ms until it holds or the limit passes; its last answer.
bool wait_until(const std::function<bool()>& done, std::chrono::milliseconds limit);

// The program named by STRIMO_EXE; nullptr when the variable is not set.
const char* program_path();

// A path for name in the folder STRIMO_ARTIFACTS names (else the current
// folder), which is made when missing.
std::string artifact_path(const std::string& name);

class ProgramUnderTest {
public:
    // Standard error goes to err_file when given.
    explicit ProgramUnderTest(std::vector<std::string> args, const std::string& err_file = {});
    ~ProgramUnderTest();
    ProgramUnderTest(const ProgramUnderTest&) = delete;
    ProgramUnderTest& operator=(const ProgramUnderTest&) = delete;

    bool started() const { return m_pid != 0; }
    int pid() const { return m_pid; }
    // The exit code, when it ended within the limit (-1: by a signal).
    std::optional<int> wait(std::chrono::milliseconds limit);
    void kill_hard();

private:
    bool reap();

    int m_pid = 0;
    std::optional<int> m_status;   // the wait status, once reaped
};

}
