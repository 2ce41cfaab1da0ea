#pragma once
// Starting with the desktop session: the entry "strimo.desktop" in the
// desktop's autostart folder ($XDG_CONFIG_HOME/autostart), which stands where
// the system kept its Run value "Strimo".

#include <optional>
#include <string>

namespace plat {

// Writes the entry so the session starts `program` with the argument
// "/ToTrayIcon". 0 or the errno of the failure (the old entry then stays).
int write_autostart_entry(const std::string& program);

// Removes the entry. 0 when none is left (also when there was none), else the errno.
int remove_autostart_entry();

// Where the entry lives; nothing without a configuration folder.
std::optional<std::string> autostart_entry_path();

}
