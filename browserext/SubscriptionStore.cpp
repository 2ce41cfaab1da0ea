#include "browserext/SubscriptionStore.h"

#include "components/common/feeddb/FeedDatabasePath.h"
#include "platform/base/DebugLog.h"

#include <exception>

SubscriptionStore::SubscriptionStore(const std::optional<std::string>& path)
{
    if (!path) {
        plat::debug_log("subscription store: no data folder for the feed database");
        return;
    }
    try {
        m_db.Open(path->c_str());
        m_open = true;
    } catch (const std::exception& e) {
        // The browser must not see this: every later call fails instead.
        plat::debug_log("subscription store: unusable: " + std::string(e.what()));
    }
}

SubscriptionStore& SubscriptionStore::Instance()
{
    static SubscriptionStore store(feeddb::feed_database_path());
    return store;
}

CRSSDBMgr* SubscriptionStore::database()
{
    return m_open ? &m_db : nullptr;
}
