#include "platform/fs/Files.h"

#include "platform/fs/testing/TempFolder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <thread>

#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

std::vector<std::string> names_in(const std::string& folder)
{
    std::vector<plat::FolderEntry> entries;
    EXPECT_TRUE(plat::list_folder(folder, entries));
    std::vector<std::string> names;
    for (const auto& e : entries) names.push_back(e.name);
    return names;
}

}

TEST(Files, ReadingAMissingFileReportsNotFound)
{
    plat::TempFolder dir;
    const auto data = plat::read_file(dir / "absent");
    EXPECT_FALSE(data);
    EXPECT_EQ(data.error, ENOENT);
    EXPECT_TRUE(data.bytes.empty());
}

TEST(Files, WrittenBytesReadBackExactly)
{
    std::string big(200000, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7);
    for (const std::string& content : {std::string(), std::string("a\0b\r\n", 5), big}) {
        SCOPED_TRACE(content.size());
        plat::TempFolder dir;
        ASSERT_EQ(plat::write_file_atomic(dir / "f.bin", content), 0);
        const auto data = plat::read_file(dir / "f.bin");
        ASSERT_TRUE(data);
        EXPECT_EQ(data.bytes, content);
        EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"f.bin"});
    }
}

TEST(Files, ReplacingKeepsPermissionBitsAndLeavesNoTemporary)
{
    plat::TempFolder dir;
    const auto path = dir / "hive";
    ASSERT_EQ(plat::write_file_atomic(path, "old"), 0);
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    ASSERT_EQ(plat::write_file_atomic(path, "new"), 0);
    EXPECT_EQ(plat::read_file(path).bytes, "new");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"hive"});
}

TEST(Files, FailedWriteLeavesTargetWholeAndNoTemporary)
{
    plat::TempFolder dir;
    ASSERT_TRUE(fs::create_directory(dir / "taken"));
    ASSERT_EQ(plat::write_file_atomic(dir / "taken/inside", "keep"), 0);

    EXPECT_NE(plat::write_file_atomic(dir / "taken", "replace a folder"), 0);
    EXPECT_EQ(plat::read_file(dir / "taken/inside").bytes, "keep");
    EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"taken"});

    EXPECT_EQ(plat::write_file_atomic(dir / "missing/f", "x"), ENOENT);
    EXPECT_EQ(plat::write_file_atomic("", "x"), EINVAL);
}

TEST(Files, ReaderNeverSeesAMixOfTwoWrites)
{
    plat::TempFolder dir;
    const auto path = dir / "shared";
    const std::string a(50000, 'a'), b(70000, 'b');
    ASSERT_EQ(plat::write_file_atomic(path, a), 0);
    std::atomic<bool> done{false};
    std::atomic<int> torn{0};
    std::thread reader([&] {
        while (!done)
            if (auto data = plat::read_file(path); !data || (data.bytes != a && data.bytes != b)) ++torn;
    });
    std::vector<std::thread> writers;
    for (const std::string* content : {&a, &b})
        writers.emplace_back([&, content] {
            for (int i = 0; i < 20; ++i) EXPECT_EQ(plat::write_file_atomic(path, *content), 0);
        });
    for (auto& w : writers) w.join();
    done = true;
    reader.join();
    EXPECT_EQ(torn, 0);
    EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"shared"});
}

TEST(Files, ListFolderGivesSortedEntriesWithKindsAndSizes)
{
    plat::TempFolder dir;
    ASSERT_EQ(plat::write_file_atomic(dir / "b.dat", std::string(1234, 'x')), 0);
    ASSERT_EQ(plat::write_file_atomic(dir / "a.txt", ""), 0);
    ASSERT_TRUE(fs::create_directory(dir / "c"));
    fs::create_symlink(dir / "b.dat", dir / "d-link");

    std::vector<plat::FolderEntry> entries;
    ASSERT_TRUE(plat::list_folder(dir.path(), entries));
    ASSERT_EQ(entries.size(), 4u);
    const struct { const char* name; plat::EntryKind kind; std::uint64_t size; } expected[] = {
        {"a.txt", plat::EntryKind::File, 0},
        {"b.dat", plat::EntryKind::File, 1234},
        {"c", plat::EntryKind::Folder, 0},
        {"d-link", plat::EntryKind::File, 1234},
    };
    for (std::size_t i = 0; i < entries.size(); ++i) {
        SCOPED_TRACE(expected[i].name);
        EXPECT_EQ(entries[i].name, expected[i].name);
        EXPECT_EQ(entries[i].kind, expected[i].kind);
        EXPECT_EQ(entries[i].size, expected[i].size);
    }
}

TEST(Files, ListingAMissingFolderFails)
{
    plat::TempFolder dir;
    std::vector<plat::FolderEntry> entries{{"stale", plat::EntryKind::File}};
    EXPECT_FALSE(plat::list_folder(dir / "absent", entries));
    EXPECT_TRUE(entries.empty());
}

TEST(Files, OnlyRegularFilesExist)
{
    plat::TempFolder dir;
    fs::create_directories(dir / "folder");
    { std::ofstream(dir / "clip.mp4") << "x"; }
    fs::create_symlink(dir / "clip.mp4", dir / "link.mp4");
    fs::create_symlink(dir / "gone.mp4", dir / "dangling.mp4");
    const struct {
        std::string path;
        bool exists;
    } cases[] = {{dir / "clip.mp4", true}, {dir / "link.mp4", true},     {dir / "folder", false},
                 {dir / "gone.mp4", false}, {dir / "dangling.mp4", false}, {"", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(FileExists(c.path), c.exists);
    }
}
