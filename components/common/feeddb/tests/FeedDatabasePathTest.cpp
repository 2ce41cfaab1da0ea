#include "components/common/feeddb/FeedDatabasePath.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>

TEST(FeedDatabasePath, IsRssDbInTheProgramsDataFolder)
{
    feeddb_test::TempFolder dir;
    setenv("XDG_DATA_HOME", dir.path().c_str(), 1);
    EXPECT_EQ(plat::feeddb::feed_database_path(), dir.path() + "/Corvalen/Strimo/Rss.db");
}
