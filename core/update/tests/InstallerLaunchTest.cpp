#include "core/update/InstallerLaunch.h"
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

void write_script(const fs::path& path, const fs::path& marker, const std::string& word)
{
    std::ofstream(path) << "#!/bin/sh\nprintf '" << word << " %s' \"$1\" > '" << marker.string() << "'\n";
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
        if (text.empty())
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return text;
}

}

// What runs is the file that was open when it was checked, even when its
// path names another file by the time it is started.
TEST(InstallerLaunch, RunsTheOpenFileNotWhatItsPathNamesNow)
{
    plat::TempFolder dir;
    const fs::path installer = dir / "Install_Strimo.exe";
    write_script(installer, dir / "marker", "verified");
    const int fd = ::open(installer.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    write_script(dir / "other", dir / "marker", "swapped");
    fs::rename(dir / "other", installer);

    EXPECT_TRUE(start_from_descriptor(fd, {installer.string(), "/SILENT"}));
    ::close(fd);
    EXPECT_EQ(wait_for_text(dir / "marker"), "verified /SILENT");
}

TEST(InstallerLaunch, FileThatCannotRunStartsNothing)
{
    plat::TempFolder dir;
    std::ofstream(dir / "plain") << "not a program";
    fs::permissions(dir / "plain", fs::perms::owner_read | fs::perms::owner_write);
    const int fd = ::open((dir / "plain").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    EXPECT_FALSE(start_from_descriptor(fd, {"plain"}));
    ::close(fd);
}
