#pragma once
// What subscribing and unsubscribing do to the feed database, and what they
// tell the running program through its feed notifier.

#include <cstdint>
#include <optional>
#include <string>

class CRSSDBMgr;

namespace browserext {

class SubscriptionWriter {
public:
    explicit SubscriptionWriter(CRSSDBMgr& db) : m_db(db) {}

    // The first folder whose name holds "My Subscriptions" in any case; the
    // extension makes none itself.
    std::optional<std::int64_t> subscription_folder();

    // Stores the channel in the folder, or revives the stored one (its folder,
    // title and flags kept, enabled and no longer marked deleted). False when
    // the write failed or the feed is no absolute http or https address.
    bool subscribe(const std::string& feed_url, std::int64_t folder_id, const std::string& title);

    // Removes the channel: a predefined one is disabled, one the database
    // refuses to delete (it has items) is marked deleted for the updater to
    // purge, any other is deleted. False when there is no such channel or the
    // write failed.
    bool unsubscribe(const std::string& feed_url);

private:
    CRSSDBMgr& m_db;
};

}
