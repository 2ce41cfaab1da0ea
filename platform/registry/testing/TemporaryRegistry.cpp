#include "TemporaryRegistry.h"

#include <cstdlib>
#include <stdexcept>
#include <vector>

namespace plat {

TemporaryRegistry::TemporaryRegistry()
{
    if (const char* previous = std::getenv("STRIMO_REGISTRY_DIR")) m_previous = previous;
    std::string pattern = (std::filesystem::temp_directory_path() / "strimo-registry-XXXXXX").string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (!::mkdtemp(name.data())) throw std::runtime_error("cannot make a temporary registry folder");
    m_folder = name.data();
    ::setenv("STRIMO_REGISTRY_DIR", m_folder.c_str(), 1);
}

TemporaryRegistry::~TemporaryRegistry()
{
    if (m_previous) ::setenv("STRIMO_REGISTRY_DIR", m_previous->c_str(), 1);
    else ::unsetenv("STRIMO_REGISTRY_DIR");
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
}

}
