#pragma once
// Runs the local server tests' second process (LocalClientMain.cpp) and
// collects what it printed.

#include <array>
#include <cstdio>
#include <string>
#include <sys/wait.h>

namespace com_testing {

struct ClientRun {
    std::string output;
    int status = -1;   // the exit status, or -1 when it did not exit normally
};

// client: the executable; arguments: already quoted for /bin/sh.
inline ClientRun run_local_client(const std::string& client, const std::string& arguments)
{
    ClientRun run;
    FILE* pipe = ::popen(("'" + client + "' " + arguments).c_str(), "r");
    if (!pipe)
        return run;
    std::array<char, 256> chunk{};
    while (std::fgets(chunk.data(), chunk.size(), pipe))
        run.output += chunk.data();
    const int status = ::pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

}
