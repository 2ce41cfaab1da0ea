#include "platform/script/testing/ModuleTesting.h"

#include <cstdlib>

#include <sys/wait.h>

namespace plat {

bool register_modules(const std::string& regsvr, std::initializer_list<std::string> modules)
{
    for (const std::string& module : modules) {
        const std::string command = "'" + regsvr + "' '" + module + "' >/dev/null 2>&1";
        const int status = std::system(command.c_str());
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
            return false;
    }
    return true;
}

}
