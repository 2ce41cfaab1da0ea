// The cache folder's usage (64-bit sizes, only the files directly inside)
// and how it is shown.

#include "screens/settings/CacheFolder.h"

#include "platform/fs/Folders.h"
#include "platform/fs/testing/TempFolder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>

namespace {

constexpr std::uint64_t GiB = 1073741824;

// A file of `size` bytes that takes almost no disk: only its last byte is written.
bool sparse_file(const std::string& path, std::uint64_t size)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0) return false;
    const bool written = ::pwrite(fd, "x", 1, off_t(size - 1)) == 1;
    ::close(fd);
    return written;
}

}  // namespace

TEST(CacheFolder, UsageAddsWholeSizesOfTheFilesDirectlyInside)
{
    plat::TempFolder cache;
    ASSERT_TRUE(sparse_file(cache / "big.flv", 5 * GiB + 3));
    ASSERT_TRUE(sparse_file(cache / "exactly4g.flv", 4 * GiB));
    std::ofstream(cache / "small.jpg") << std::string(1000, 'x');
    plat::create_folder_tree(cache / "sub");
    ASSERT_TRUE(sparse_file(cache / "sub/inner.flv", GiB));

    const UI::CacheUsage usage = UI::MeasureCacheFolder(cache.path());
    EXPECT_EQ(usage.used, 9 * GiB + 3 + 1000);
    EXPECT_GT(usage.free, 0u);

    EXPECT_EQ(UI::MeasureCacheFolder(cache / "missing").used, 0u);
}

TEST(CacheFolder, PercentOfTheVolume)
{
    const struct {
        std::uint64_t used;
        std::uint64_t free;
        int percent;
    } cases[] = {
        {0, 0, 0},                    // nothing anywhere: no division by zero
        {0, 100 * GiB, 0},
        {1, 1024 * GiB, 1},           // a use too small to show still shows
        {GiB, 3 * GiB, 25},
        {5 * GiB, 5 * GiB, 50},
        {999, 1, 99},
        {5 * GiB, 0, 100},            // nothing free
        {6 * GiB, GiB / 2, 92},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.used << " / " << c.free);
        EXPECT_EQ(UI::CacheUsagePercent({c.used, c.free}), c.percent);
    }
}

TEST(CacheFolder, TextShowsUsedAndTotalInGigabytes)
{
    EXPECT_EQ(UI::CacheUsageText({0, 0}), u"0.000GB / 0.000GB");
    EXPECT_EQ(UI::CacheUsageText({5 * GiB + GiB / 2, 4 * GiB}), u"5.500GB / 9.500GB");
}

TEST(CacheFolder, OnlyAnAbsoluteFolderBelowTheRootIsCleanable)
{
    plat::TempFolder home;
    std::ofstream(home / "file") << "x";
    const struct {
        std::string path;
        bool cleanable;
    } cases[] = {
        {home.path(), true}, {home.path() + "/", true}, {"", false}, {"/", false}, {"//", false},
        {"/.", false}, {home.path() + "/../../../../../../..", false}, {"tmp", false},
        {home / "file", false}, {home / "missing", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(UI::IsCleanableFolder(c.path), c.cleanable);
    }
}
