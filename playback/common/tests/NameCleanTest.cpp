#include "playback/common/NameClean.h"

#include "platform/base/Utf.h"
#include "platform/fs/Files.h"
#include "platform/fs/testing/TempFolder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

namespace {

std::string repeat(std::string_view piece, int times)
{
    std::string out;
    for (int i = 0; i < times; ++i) out += piece;
    return out;
}

TEST(NameClean, TitlesLoseTheRefusedCharactersAndKeepTheRest)
{
    const struct {
        std::string_view title, extension, file;
    } cases[] = {
        {"a/b:c?", ".flv", "/d/abc.flv"},
        {"\\/\"*?:<>|x", ".mp4", "/d/x.mp4"},
        {"clip.mp4", ".mp4", "/d/clip.mp4.mp4"},            // the extension is added even when one is there
        {"Über 4 — \xE5\xAE\x8B", ".mp4", "/d/Über 4 — \xE5\xAE\x8B.mp4"},
        {"", ".mp4", "/d/.mp4"},
        {std::string_view("a\0b", 3), ".mp4", "/d/ab.mp4"},  // NUL would end the path early
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        EXPECT_EQ(playback::titled_file_path("/d", c.title, c.extension), c.file);
    }
}

TEST(NameClean, CleanTitleKeepsOrderAndSurrogatePairs)
{
    EXPECT_EQ(playback::clean_title(u"a<b>\U0001F600|c"), u"ab\U0001F600c");
}

TEST(NameClean, LongNamesAreCutBetweenCharactersBeforeTheExtension)
{
    const struct {
        std::string piece;     // one character of the title
        int count;
        std::size_t kept;      // characters left
    } cases[] = {
        {"a", 300, 251},                  // 251 + ".mp4" = 255 bytes
        {"\xE5\xAE\x8B", 100, 83},        // three bytes each: 249
        {"\xF0\x9F\x98\x80", 70, 62},     // four bytes each (a UTF-16 pair): 248
        {"\xC3\xBC", 200, 125},           // two bytes each: 250
        {"a", 251, 251},                  // fits exactly, nothing cut
    };
    plat::TempFolder dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.piece + " x " + std::to_string(c.count));
        const std::string path = playback::titled_file_path(dir.path(), repeat(c.piece, c.count), ".mp4");
        EXPECT_EQ(path, dir.path() + "/" + repeat(c.piece, static_cast<int>(c.kept)) + ".mp4");
        // The file system takes the name as it is.
        const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY, 0644);
        EXPECT_GE(fd, 0) << path;
        if (fd >= 0) ::close(fd);
        EXPECT_TRUE(FileExists(path));
    }
}

}
