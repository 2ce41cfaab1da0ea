#include "browserext/SubscriptionWriter.h"

#include "browserext/VideoSiteAddresses.h"
#include "components/common/feeddb/CRSSDBMgr.h"
#include "core/notifier/CFeedNotifier.h"
#include "core/notifier/FeedNotifierMarshalling.h"
#include "core/notifier/IFeedNotifier.h"
#include "platform/com/Com.h"
#include "platform/com/ComPtr.h"

#include <sqlite3.h>

#include <chrono>
#include <list>
#include <thread>

namespace browserext {
namespace {

constexpr const char* subscription_folder_name = "My Subscriptions";
// Lets the running program let go of the channel before its row changes.
constexpr auto unsubscribe_pause = std::chrono::milliseconds(200);
constexpr VARIANT_BOOL before_change = -1;
constexpr VARIANT_BOOL after_change = 0;

// The running program's notifier, or null when it does not run: the program
// serves the class only while it runs, so creating it is the test.
plat::ComPtr<IFeedNotifier> running_program_notifier()
{
    plat::add_local_interface(feed_notifier_marshalling());
    plat::ComPtr<IFeedNotifier> notifier;
    if (FAILED(CoCreateInstance(CLSID_FeedNotifier, nullptr, 23, IID_IFeedNotifier, notifier.put_void())))
        return {};
    return notifier;
}

// The program takes the low half of the row id.
LONG notice_id(std::int64_t id)
{
    return static_cast<LONG>(static_cast<std::uint32_t>(id));
}

std::optional<RSSData::tRSSChannel> stored_channel(CRSSDBMgr& db, const std::string& feed_url)
{
    std::list<RSSData::tRSSChannel> found;
    if (db.GetChannelByFeedUrl(feed_url, &found) != 0 || found.empty())
        return std::nullopt;
    return found.front();
}

}

std::optional<std::int64_t> SubscriptionWriter::subscription_folder()
{
    std::list<RSSFolderRecord> folders;
    if (m_db.GetFolders(subscription_folder_name, &folders, CRSSDBMgr::NameMatch::ContainsAnyCase) != 0 ||
        folders.empty())
        return std::nullopt;
    return folders.front().id;
}

bool SubscriptionWriter::subscribe(const std::string& feed_url, std::int64_t folder_id, const std::string& title)
{
    if (!is_web_feed_url(feed_url))
        return false;
    int rc = SQLITE_OK;
    RSSData::tRSSChannel channel;
    if (auto stored = stored_channel(m_db, feed_url)) {
        channel = *stored;
        channel.disabled = false;
        channel.mark_delete = false;
        rc = m_db.UpdateChannel(channel);
    } else {
        channel.can_auto_update = true;
        channel.can_prefetch = false;
        channel.feed_url = feed_url;
        channel.set_folder_id(folder_id);
        channel.title = title;
        channel.is_predefine = false;
        channel.item_capability = 200;
        rc = m_db.InsertChannel(&channel);
    }
    if (rc != SQLITE_OK)
        return false;
    if (auto notifier = running_program_notifier())
        notifier->NotifySubscribe(notice_id(channel.id));
    return true;
}

bool SubscriptionWriter::unsubscribe(const std::string& feed_url)
{
    auto channel = stored_channel(m_db, feed_url);
    if (!channel)
        return false;
    auto notifier = running_program_notifier();
    if (notifier) {
        notifier->NotifyUnsubscribe(notice_id(channel->id), before_change);
        std::this_thread::sleep_for(unsubscribe_pause);
    }
    int rc = SQLITE_OK;
    if (channel->is_predefine) {
        channel->disabled = true;
        rc = m_db.UpdateChannel(*channel);
    } else {
        rc = m_db.DeleteChannel(channel->id);
        // The triggers keep a channel that has items: the updater purges it.
        if (rc == SQLITE_CONSTRAINT) {
            channel->mark_delete = true;
            rc = m_db.UpdateChannel(*channel);
        }
    }
    if (rc != SQLITE_OK)
        return false;
    if (notifier)
        notifier->NotifyUnsubscribe(notice_id(channel->id), after_change);
    return true;
}

}
