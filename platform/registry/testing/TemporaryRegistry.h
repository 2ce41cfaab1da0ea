#pragma once
// For tests: points STRIMO_REGISTRY_DIR at a fresh temporary folder for the
// object's life, then restores the variable and removes the folder. Create it
// before any thread that may read the registry starts.

#include "platform/fs/testing/ScopedEnvironment.h"
#include "platform/fs/testing/TempFolder.h"

#include <filesystem>

namespace plat {

class TemporaryRegistry {
public:
    TemporaryRegistry();

    std::filesystem::path folder() const { return m_folder.path(); }

private:
    TempFolder m_folder;
    ScopedEnvironment m_variable;   // goes first: the variable never names a removed folder
};

}
