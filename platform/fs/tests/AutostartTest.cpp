#include "platform/fs/Autostart.h"
#include "platform/fs/Files.h"
#include "platform/fs/testing/ScopedEnvironment.h"
#include "platform/fs/testing/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

std::string exec_line(const std::string& entry)
{
    const std::size_t at = entry.find("\nExec=");
    if (at == std::string::npos) return {};
    return entry.substr(at + 6, entry.find('\n', at + 1) - at - 6);
}

}

TEST(Autostart, EntryStartsTheQuotedProgramInTheTray)
{
    plat::TempFolder dir;
    const plat::ScopedEnvironment config("XDG_CONFIG_HOME", dir.path().c_str());
    const std::string path = dir / "autostart/strimo.desktop";
    EXPECT_EQ(plat::autostart_entry_path(), path);

    // The value's own escapes (\\) come first, then Exec's quoting (\" \$ \` \\) and field codes (%%).
    const struct {
        std::string program;
        std::string exec;
    } cases[] = {
        {"/opt/strimo/strimo", R"("/opt/strimo/strimo" /ToTrayIcon)"},
        {"/home/me/My  Programs/strimo", R"("/home/me/My  Programs/strimo" /ToTrayIcon)"},
        {R"(/opt/a"b$c`d\e%f/strimo)", R"("/opt/a\\"b\\$c\\`d\\\\e%%f/strimo" /ToTrayIcon)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.program);
        ASSERT_EQ(plat::write_autostart_entry(c.program), 0);
        const plat::FileData entry = plat::read_file(path);
        ASSERT_TRUE(entry);
        EXPECT_TRUE(entry.bytes.starts_with("[Desktop Entry]\nType=Application\nName=Strimo\n"));
        EXPECT_EQ(exec_line(entry.bytes), c.exec);
    }

    EXPECT_EQ(plat::remove_autostart_entry(), 0);
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(plat::remove_autostart_entry(), 0);   // unticked twice: still fine
}
