#include "platform/fs/Process.h"
#include "platform/fs/testing/ScopedEnvironment.h"
#include "platform/fs/testing/TempFolder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

namespace {

// A script that writes its word and each argument on a line of `marker`.
// The script writes its marker whole or not at all (a rename), so a reader
// never takes the first line for all of it.
void write_script(const fs::path& path, const fs::path& marker, const std::string& word)
{
    std::ofstream(path) << "#!/bin/sh\n{ echo '" << word << "'; for a in \"$@\"; do echo \"$a\"; done; } > '"
                        << marker.string() << ".part' && mv '" << marker.string() << ".part' '" << marker.string() << "'\n";
    fs::permissions(path, fs::perms::owner_all);
}

std::string wait_for_text(const fs::path& path)
{
    std::string text;
    for (int i = 0; i < 3000 && text.empty(); ++i) {
        std::ifstream in(path);
        std::stringstream read;
        read << in.rdbuf();
        text = read.str();
        if (text.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return text;
}

}

// What runs is the file that was open when it was checked, even when its
// path names another file by the time it is started.
TEST(Process, StartsTheOpenFileNotWhatItsPathNamesNow)
{
    plat::TempFolder dir;
    const fs::path installer = dir / "Install_Strimo.exe";
    write_script(installer, dir / "marker", "verified");
    const int fd = ::open(installer.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    write_script(dir / "other", dir / "marker", "swapped");
    fs::rename(dir / "other", installer);

    EXPECT_TRUE(plat::start_detached_from_descriptor(fd, {installer.string(), "/SILENT"}));
    ::close(fd);
    EXPECT_EQ(wait_for_text(dir / "marker"), "verified\n/SILENT\n");
}

TEST(Process, FileThatCannotRunStartsNothing)
{
    plat::TempFolder dir;
    std::ofstream(dir / "plain") << "not a program";
    fs::permissions(dir / "plain", fs::perms::owner_read | fs::perms::owner_write);
    const int fd = ::open((dir / "plain").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    EXPECT_FALSE(plat::start_detached_from_descriptor(fd, {"plain"}));
    ::close(fd);
    EXPECT_FALSE(plat::start_detached_from_descriptor(-1, {"plain"}));
    EXPECT_FALSE(plat::start_detached({}));
}

// The desktop's opener is found in PATH and gets the target as one argument:
// blanks, quotes and shell characters reach it unchanged, as no shell runs.
TEST(Process, DesktopOpenerGetsTheTargetAsOneArgument)
{
    plat::TempFolder dir;
    write_script(dir / "xdg-open", dir / "marker", "opener");
    const plat::ScopedEnvironment path("PATH", (dir.path() + ":/usr/bin:/bin").c_str());

    const struct {
        std::string target;
        std::string argument;
    } cases[] = {
        {"/home/me/My  Videos/$(rm -rf x); `y` \"z\"", "/home/me/My  Videos/$(rm -rf x); `y` \"z\""},
        {"https://example.com/members?a=1&b=2", "https://example.com/members?a=1&b=2"},
        {"-folder", "./-folder"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target);
        fs::remove(dir / "marker");
        ASSERT_TRUE(plat::start_detached(plat::desktop_open_command(c.target)));
        EXPECT_EQ(wait_for_text(dir / "marker"), "opener\n" + c.argument + "\n");
    }
}

TEST(Process, MissingProgramStartsNothing)
{
    plat::TempFolder dir;
    const plat::ScopedEnvironment path("PATH", dir.path().c_str());
    EXPECT_FALSE(plat::start_detached(plat::desktop_open_command("/tmp")));
    EXPECT_FALSE(plat::run_program({"zenity", "--file-selection"}));
}

TEST(Process, RunProgramGivesItsOutputAndExitCode)
{
    const struct {
        std::vector<std::string> args;
        std::optional<std::pair<int, std::string>> result;
    } cases[] = {
        {{"printf", "%s\n", "/a b/c.mp4"}, {{0, "/a b/c.mp4\n"}}},
        {{"sh", "-c", "echo partial; exit 1"}, {{1, "partial\n"}}},
        {{"sh", "-c", "kill -9 $$"}, std::nullopt},
        {{"/no/such/program"}, std::nullopt},
        {{}, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.empty() ? "(none)" : c.args.back());
        const std::optional<plat::ProgramOutput> out = plat::run_program(c.args);
        ASSERT_EQ(out.has_value(), c.result.has_value());
        if (!out) continue;
        EXPECT_EQ(out->exit_code, c.result->first);
        EXPECT_EQ(out->output, c.result->second);
    }
}
