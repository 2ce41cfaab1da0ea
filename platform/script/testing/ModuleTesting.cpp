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

ScopedEnvironment::ScopedEnvironment(std::string name, std::optional<std::string> value) : m_name(std::move(name))
{
    if (const char* old = std::getenv(m_name.c_str()))
        m_previous = old;
    if (value)
        setenv(m_name.c_str(), value->c_str(), 1);
    else
        unsetenv(m_name.c_str());
}

ScopedEnvironment::~ScopedEnvironment()
{
    if (m_previous)
        setenv(m_name.c_str(), m_previous->c_str(), 1);
    else
        unsetenv(m_name.c_str());
}

}
