#include "components/common/feeddb/FeedDatabasePath.h"
#include "platform/fs/testing/ScopedEnvironment.h"
#include "platform/fs/testing/TempFolder.h"

#include <gtest/gtest.h>

TEST(FeedDatabasePath, IsRssDbInTheProgramsDataFolder)
{
    plat::TempFolder dir;
    plat::ScopedEnvironment data("XDG_DATA_HOME", dir.path().c_str());
    EXPECT_EQ(feeddb::feed_database_path(), dir.path() + "/Corvalen/Strimo/Rss.db");
}
