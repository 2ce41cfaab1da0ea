#pragma once
// For end-to-end tests: a user who never ran the program. A temporary home
// with its own data and runtime folders, a temporary registry, silent sound;
// all of it set before the program starts and undone when the object goes.

#include "platform/fs/testing/ScopedEnvironment.h"
#include "platform/fs/testing/TempFolder.h"
#include "platform/registry/testing/TemporaryRegistry.h"

#include <cstdint>
#include <optional>
#include <string>

namespace app_testing {

class FreshProfile {
public:
    FreshProfile() = default;

    // The home folder, and a path inside it.
    const std::string& home() const { return m_home.path(); }
    std::string operator/(std::string_view name) const { return m_home / name; }
    // The program's data folder ($XDG_DATA_HOME/Corvalen/Strimo).
    std::string data_folder() const;

    // The program's own key in HKEY_CURRENT_USER.
    static void set_value(const char16_t* name, std::uint32_t value);
    static void set_text(const char16_t* name, const std::u16string& value);
    static std::optional<std::uint32_t> value(const char16_t* name);
    static std::optional<std::u16string> text(const char16_t* name);

private:
    plat::TempFolder m_home;
    plat::ScopedEnvironment m_home_variable{"HOME", m_home.path().c_str()};
    plat::ScopedEnvironment m_data{"XDG_DATA_HOME", (m_home / "data").c_str()};
    plat::ScopedEnvironment m_config{"XDG_CONFIG_HOME", (m_home / "config").c_str()};
    plat::ScopedEnvironment m_runtime{"STRIMO_RUNTIME_DIR", (m_home / "run").c_str()};
    plat::ScopedEnvironment m_sound{"SDL_AUDIODRIVER", "dummy"};
    plat::TemporaryRegistry m_registry;
};

}
