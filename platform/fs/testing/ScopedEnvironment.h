#pragma once
// For tests: sets (or, with nullptr, removes) an environment variable and
// restores what it was when the object goes. Create it before any thread that
// may read the variable starts.

#include <optional>
#include <string>

namespace plat {

class ScopedEnvironment {
public:
    ScopedEnvironment(std::string name, const char* value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::string m_name;
    std::optional<std::string> m_previous;   // empty: the variable was not set
};

}
