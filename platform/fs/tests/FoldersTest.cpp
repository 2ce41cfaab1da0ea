#include "platform/fs/Files.h"
#include "platform/fs/Folders.h"

#include "platform/fs/testing/ScopedEnvironment.h"
#include "platform/fs/testing/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;

TEST(Folders, JoinPathPutsExactlyOneSlashBetween)
{
    const struct { std::string_view base, name, joined; } cases[] = {
        {"a", "b", "a/b"},       {"a/", "b", "a/b"},   {"a", "/b", "a/b"},     {"a/", "//b", "a/b"},
        {"", "b", "b"},          {"/", "b", "/b"},     {"a", "", "a/"},        {"/x/y", "Corvalen/Strimo", "/x/y/Corvalen/Strimo"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.base) + " + " + std::string(c.name));
        EXPECT_EQ(plat::join_path(c.base, c.name), c.joined);
    }
}

TEST(Folders, CreateFolderTreeMakesEveryLevelAndAcceptsAnExistingOne)
{
    plat::TempFolder dir;
    const auto deep = dir / "one/two/three";
    EXPECT_TRUE(plat::create_folder_tree(deep));
    EXPECT_TRUE(fs::is_directory(deep));
    EXPECT_TRUE(plat::create_folder_tree(deep));
    EXPECT_FALSE(plat::create_folder_tree(""));
}

TEST(Folders, CreateFolderTreeFailsThroughAFile)
{
    plat::TempFolder dir;
    ASSERT_EQ(plat::write_file_atomic(dir / "file", "x"), 0);
    EXPECT_FALSE(plat::create_folder_tree(dir / "file"));
    EXPECT_FALSE(plat::create_folder_tree(dir / "file/below"));
}

TEST(Folders, DataFoldersFollowXdgDataHome)
{
    plat::TempFolder dir;
    plat::ScopedEnvironment data("XDG_DATA_HOME", dir.path().c_str());
    EXPECT_EQ(plat::app_data_folder(), dir.path());
    const auto strimo = plat::strimo_data_folder();
    ASSERT_TRUE(strimo);
    EXPECT_EQ(*strimo, dir / "Corvalen/Strimo");
    EXPECT_TRUE(fs::is_directory(*strimo));
}

TEST(Folders, DataFoldersDefaultUnderHomeWhenXdgDataHomeIsUnsetOrRelative)
{
    for (const char* xdg : {static_cast<const char*>(nullptr), "", "relative/path"}) {
        SCOPED_TRACE(xdg ? xdg : "(unset)");
        plat::TempFolder home;
        plat::ScopedEnvironment home_env("HOME", home.path().c_str());
        plat::ScopedEnvironment data("XDG_DATA_HOME", xdg);
        EXPECT_EQ(plat::strimo_data_folder(), home / ".local/share/Corvalen/Strimo");
        EXPECT_TRUE(fs::is_directory(home / ".local/share/Corvalen/Strimo"));
    }
}

TEST(Folders, HomeAndConfigFoldersAreAbsoluteOnly)
{
    const struct { const char* home; const char* config; std::optional<std::string> home_out, config_out; } cases[] = {
        {"/h", "/c", "/h", "/c"},
        {"/h", nullptr, "/h", "/h/.config"},
        {"/h", "relative/c", "/h", "/h/.config"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.home) + " " + (c.config ? c.config : "(unset)"));
        plat::ScopedEnvironment home("HOME", c.home);
        plat::ScopedEnvironment config("XDG_CONFIG_HOME", c.config);
        EXPECT_EQ(plat::home_folder(), c.home_out);
        EXPECT_EQ(plat::config_folder(), c.config_out);
    }
    // A relative HOME is no home: the password database's entry stands.
    plat::ScopedEnvironment home("HOME", "relative/home");
    const auto fallback = plat::home_folder();
    EXPECT_TRUE(!fallback || fallback->starts_with('/'));
}

TEST(Folders, DataFolderThatCannotBeCreatedIsReportedMissing)
{
    plat::TempFolder dir;
    ASSERT_EQ(plat::write_file_atomic(dir / "file", "x"), 0);
    plat::ScopedEnvironment data("XDG_DATA_HOME", (dir / "file").c_str());
    EXPECT_FALSE(plat::app_data_folder());
    EXPECT_FALSE(plat::strimo_data_folder());
}

TEST(Folders, VideosFolderComesFromUserDirsElseHomeVideos)
{
    const struct { const char* user_dirs; const char* expected; } cases[] = {
        {nullptr, "HOME/Videos"},
        {"# written by xdg-user-dirs-update\nXDG_MUSIC_DIR=\"$HOME/Music\"\nXDG_VIDEOS_DIR=\"$HOME/Films\"\n", "HOME/Films"},
        {"XDG_VIDEOS_DIR=\"ABS/Movies\"\n", "ABS/Movies"},
        {"XDG_VIDEOS_DIR=\"relative\"\n", "HOME/Videos"},
        {"XDG_VIDEOS_DIR=unquoted\n", "HOME/Videos"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.user_dirs ? c.user_dirs : "(no file)");
        plat::TempFolder home, config;
        plat::ScopedEnvironment home_env("HOME", home.path().c_str());
        plat::ScopedEnvironment config_env("XDG_CONFIG_HOME", config.path().c_str());
        auto substitute = [&](std::string text) {
            for (auto [key, value] : {std::pair{std::string("HOME"), home.path()}, {"ABS", config.path()}})
                if (auto at = text.find(key); at != std::string::npos) text.replace(at, key.size(), value);
            return text;
        };
        if (c.user_dirs) {
            ASSERT_EQ(plat::write_file_atomic(config / "user-dirs.dirs", substitute(c.user_dirs)), 0);
        }
        const auto videos = plat::videos_folder();
        ASSERT_TRUE(videos);
        EXPECT_EQ(*videos, substitute(c.expected));
        EXPECT_TRUE(fs::is_directory(*videos));
    }
}

TEST(Folders, TempFolderHonoursAnAbsoluteTmpdir)
{
    const struct { const char* tmpdir; const char* expected; } cases[] = {
        {nullptr, "/tmp"}, {"", "/tmp"}, {"relative", "/tmp"}, {"/var/tmp/", "/var/tmp"}, {"/x//", "/x"}, {"/", "/"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tmpdir ? c.tmpdir : "(unset)");
        plat::ScopedEnvironment tmp("TMPDIR", c.tmpdir);
        EXPECT_EQ(plat::temp_folder(), c.expected);
    }
}

TEST(Folders, ProgramFolderHoldsTheRunningExecutable)
{
    std::vector<plat::FolderEntry> entries;
    ASSERT_TRUE(plat::list_folder(plat::program_folder(), entries));
    EXPECT_TRUE(std::any_of(entries.begin(), entries.end(), [](const auto& e) { return e.name == "plat_fs_tests"; }));
}

TEST(Folders, RuntimeFolderIsPrivateAndRelocatable)
{
    plat::TempFolder dir;
    const struct { const char* strimo; const char* xdg; std::string expected; } cases[] = {
        {"RUN/chosen", "RUN/xdg", dir / "chosen"},
        {nullptr, "RUN/xdg", dir / "xdg/strimo"},
        {"relative", "RUN/xdg", dir / "xdg/strimo"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        auto absolute = [&](const char* value) -> std::string {
            std::string text = value ? value : "";
            if (text.starts_with("RUN")) text.replace(0, 3, dir.path());
            return text;
        };
        const auto strimo = absolute(c.strimo), xdg = absolute(c.xdg);
        plat::ScopedEnvironment strimo_env("STRIMO_RUNTIME_DIR", c.strimo ? strimo.c_str() : nullptr);
        plat::ScopedEnvironment xdg_env("XDG_RUNTIME_DIR", xdg.c_str());
        EXPECT_EQ(plat::runtime_folder(), c.expected);
        EXPECT_EQ(fs::status(c.expected).permissions() & fs::perms::all, fs::perms::owner_all);
    }
}
