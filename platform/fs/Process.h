#pragma once
// Starting other programs with an argument vector, never through a shell:
// what WinExec and ShellExecuteExW gave the system, and the helper programs
// that stand in for the shell's dialogs.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plat {

// Starts args[0] (looked up in PATH when it holds no "/") with args as its
// argument vector, detached from this process: it outlives it and is never
// waited for. True once it has started; false, with nothing started, when it
// cannot be.
bool start_detached(const std::vector<std::string>& args);

// The same for the program held open in fd (an executable, or a script with
// "#!"), so what runs is the file that was opened, whatever its path names now.
bool start_detached_from_descriptor(int fd, const std::vector<std::string>& args);

struct ProgramOutput {
    int exit_code = 0;
    std::string output;   // what it wrote to its standard output
};

// Runs args[0] (looked up in PATH) and waits for it to end. Nothing when it
// could not start or did not end by itself (killed by a signal).
std::optional<ProgramOutput> run_program(const std::vector<std::string>& args);

// The desktop's opener for an address or a folder: "xdg-open" and the target,
// which it never takes for an option.
std::vector<std::string> desktop_open_command(std::string_view target);

}
