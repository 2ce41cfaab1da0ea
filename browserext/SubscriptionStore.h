#pragma once
// The browser extension's feed database: the user's own "Rss.db", opened once
// per process, its missing tables and foreign-key triggers made as the main
// program makes them. Writes are plain statements, outside any transaction and
// the feed database's named mutex; SQLite's locking and busy time-out keep
// them apart from the main program's.

#include "components/common/feeddb/CRSSDBMgr.h"

#include <optional>
#include <string>

class SubscriptionStore {
public:
    // Opens the file at path, creating it when missing. No path, or a file
    // that cannot be opened as a database, leaves the store unusable for good.
    explicit SubscriptionStore(const std::optional<std::string>& path);
    SubscriptionStore(const SubscriptionStore&) = delete;
    SubscriptionStore& operator=(const SubscriptionStore&) = delete;

    // The process's store on the user's feed database, opened on first use.
    static SubscriptionStore& Instance();

    // Null when the store is unusable.
    CRSSDBMgr* database();

private:
    CRSSDBMgr m_db;
    bool m_open{false};
};
