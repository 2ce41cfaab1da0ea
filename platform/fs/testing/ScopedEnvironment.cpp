#include "platform/fs/testing/ScopedEnvironment.h"

#include <cstdlib>

namespace plat {

ScopedEnvironment::ScopedEnvironment(std::string name, const char* value) : m_name(std::move(name))
{
    if (const char* old = std::getenv(m_name.c_str()))
        m_previous = old;
    if (value)
        ::setenv(m_name.c_str(), value, 1);
    else
        ::unsetenv(m_name.c_str());
}

ScopedEnvironment::~ScopedEnvironment()
{
    if (m_previous)
        ::setenv(m_name.c_str(), m_previous->c_str(), 1);
    else
        ::unsetenv(m_name.c_str());
}

}
