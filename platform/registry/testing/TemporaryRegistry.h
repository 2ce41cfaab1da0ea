#pragma once
// For tests: points STRIMO_REGISTRY_DIR at a fresh temporary folder for the
// object's life, then restores the variable and removes the folder. Create it
// before any thread that may read the registry starts.

#include <filesystem>
#include <optional>
#include <string>

namespace plat {

class TemporaryRegistry {
public:
    TemporaryRegistry();
    ~TemporaryRegistry();
    TemporaryRegistry(const TemporaryRegistry&) = delete;
    TemporaryRegistry& operator=(const TemporaryRegistry&) = delete;

    const std::filesystem::path& folder() const { return m_folder; }

private:
    std::filesystem::path m_folder;
    std::optional<std::string> m_previous;   // STRIMO_REGISTRY_DIR before us
};

}
