#include "components/common/services/LogFile.h"

#include "platform/fs/Files.h"
#include "platform/fs/testing/TempFolder.h"

#include <gtest/gtest.h>

#include <regex>

namespace {

// The log's UTF-16 little-endian text as UTF-8, for ASCII content.
std::string ascii_of(const std::string& bytes)
{
    std::string text;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) text.push_back(bytes[i]);
    return text;
}

}

TEST(LogFile, NewFileStartsWithTheMarkAndLinesFollowTheLevelFilter)
{
    plat::TempFolder dir;
    const std::string path = dir / "deep/er/item.log";
    {
        tLogFile log;
        ASSERT_EQ(log.Open(path, 0, LOG_INFO), 0);
        log.Write(LOG_INFO, u"Request: http://127.0.0.1/a");
        log.Write(LOG_DEBUG, u"dropped");
        log.Write(0, u"no level");
        log.Close();
        log.Write(LOG_FORCE, u"after close");
    }
    const std::string bytes = plat::read_file(path).bytes;
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 0xFF);
    EXPECT_EQ(static_cast<unsigned char>(bytes[1]), 0xFE);
    const std::string text = ascii_of(bytes);
    const std::regex lines(
        R"(\[\w{3} \w{3} \d{2} \d{2}:\d{2}:\d{2} \d{4}\]FORCE: ------------Zuv4Avozod start\.-------------\r\n)"
        R"(\[[^\]]{24}\]INFO: Request: http://127\.0\.0\.1/a\r\n)"
        R"(\[[^\]]{24}\]FORCE: ------------Zuv4Avozod end\.-------------\r\n)");
    EXPECT_TRUE(std::regex_match(text, lines)) << text;
}

TEST(LogFile, ExistingFileIsAppendedWithoutASecondMark)
{
    plat::TempFolder dir;
    const std::string path = dir / "a.log";
    for (int round = 0; round < 2; ++round) {
        tLogFile log;
        ASSERT_EQ(log.Open(path, 0, LOG_FORCE), 0);
        log.Close();
    }
    const std::string bytes = plat::read_file(path).bytes;
    EXPECT_EQ(bytes.find("\xFF\xFE", 2), std::string::npos);
    const std::string text = ascii_of(bytes);
    std::size_t starts = 0;
    for (std::size_t at = 0; (at = text.find("start.", at)) != std::string::npos; ++at) ++starts;
    EXPECT_EQ(starts, 2u);
}

TEST(LogFile, LevelZeroWritesNothingAndAnUnopenableFileStaysClosed)
{
    plat::TempFolder dir;
    tLogFile quiet;
    ASSERT_EQ(quiet.Open(dir / "quiet.log", 0, 0), 0);
    quiet.Write(LOG_FORCE, u"x");
    quiet.Close();
    EXPECT_EQ(plat::read_file(dir / "quiet.log").bytes, "\xFF\xFE");

    tLogFile broken;
    EXPECT_EQ(broken.Open(dir.path(), 0, LOG_DEBUG), -1);   // a folder is no file
    EXPECT_FALSE(broken.IsOpen());
    broken.Write(LOG_FORCE, u"ignored");
}
