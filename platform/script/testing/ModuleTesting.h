#pragma once
// For tests of COM modules: a temporary registry with modules registered in
// it through strimo-regsvr, and environment variables set for a scope.

#include "platform/registry/testing/TemporaryRegistry.h"

#include <initializer_list>
#include <optional>
#include <string>

namespace plat {

// Registers each module file with the registration tool; false when one fails.
bool register_modules(const std::string& regsvr, std::initializer_list<std::string> modules);

// Sets (or, with nullopt, removes) an environment variable; restores it when dropped.
class ScopedEnvironment {
public:
    ScopedEnvironment(std::string name, std::optional<std::string> value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::string m_name;
    std::optional<std::string> m_previous;
};

}
