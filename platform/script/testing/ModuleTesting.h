#pragma once
// For tests of COM modules: a temporary registry with modules registered in
// it through strimo-regsvr, and environment variables set for a scope.

#include "platform/fs/testing/ScopedEnvironment.h"
#include "platform/registry/testing/TemporaryRegistry.h"

#include <initializer_list>
#include <string>

namespace plat {

// Registers each module file with the registration tool; false when one fails.
bool register_modules(const std::string& regsvr, std::initializer_list<std::string> modules);

}
