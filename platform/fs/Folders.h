#pragma once
// The folders the program finds its files in, and building paths under them.
// Paths are UTF-8 and use '/'; where the system appended "\" to a folder,
// callers use join_path. Folders are returned without a trailing '/'.

#include <optional>
#include <string>
#include <string_view>

namespace plat {

// base + "/" + name, with exactly one '/' between them; an empty base gives name.
std::string join_path(std::string_view base, std::string_view name);

// Creates the folder and every missing parent. True when it exists as a folder
// afterwards (an existing folder is fine).
bool create_folder_tree(const std::string& path);

// The folder that holds the running executable (skins, fonts map, keys, scripts).
std::string program_folder();

// The running executable's own path; empty when it cannot be read.
std::string program_file();

// The user's home folder: $HOME when absolute, else the password database's entry when
// absolute; nothing otherwise. Never a relative path and never "/" by default.
std::optional<std::string> home_folder();

// The user's configuration root: $XDG_CONFIG_HOME when absolute, else ~/.config;
// nothing without a home. Not created: its users make what they write under it.
std::optional<std::string> config_folder();

// The per-user application data root: $XDG_DATA_HOME, else ~/.local/share.
// Created when missing; nothing when there is no home to put it in or it cannot be created.
std::optional<std::string> app_data_folder();

// The program's own per-user folder: "Corvalen/Strimo" under app_data_folder(), created when missing.
std::optional<std::string> strimo_data_folder();

// The user's videos folder: XDG_VIDEOS_DIR from $XDG_CONFIG_HOME/user-dirs.dirs
// (default ~/.config), else ~/Videos. Created when missing; nothing when it cannot be had.
std::optional<std::string> videos_folder();

// The per-user folder for lock files and sockets: $STRIMO_RUNTIME_DIR when set and
// absolute (tests), else $XDG_RUNTIME_DIR/strimo, else /tmp/strimo-<uid>. Created with
// mode 0700; nothing when it cannot be created or is not a folder owned by this user.
std::optional<std::string> runtime_folder();

// The folder for temporary files: $TMPDIR when set and absolute, else /tmp.
std::string temp_folder();

}
