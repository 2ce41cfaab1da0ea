#include "core/feedcontent/CGenerateDBInfo.h"

#include "components/common/feeddb/CppSQLite3Exception.h"
#include "core/feedcontent/StandardFeeds.h"
#include "platform/base/DebugLog.h"

#include <list>
#include <vector>

namespace {

// Top-level folders in the order they are made; the channels of two of them follow.
constexpr const char* temp_folder = "TEMP FOLDER";
constexpr const char* plain_folders[] = {"Recent Viewed", "Downloaded Video", "My Favorites", "Search Result"};
constexpr const char* standard_folder = "YouTube Video";
constexpr const char* subscriptions_folder = "My Subscriptions";

int first_failure(int so_far, int rc)
{
    return so_far != 0 ? so_far : rc;
}

}

CGenerateDBInfo::CGenerateDBInfo()
{
    m_db.AddListener(this);
}

CGenerateDBInfo::~CGenerateDBInfo()
{
    Close();
}

int CGenerateDBInfo::Close()
{
    const int rc = m_db.Close();
    m_db.RemoveListener(this);
    return rc;
}

int CGenerateDBInfo::Generate(const char* path)
{
    const int opened = m_db.Open(path);
    if (opened != 0)
        return opened;
    int rc = m_db.BeginTransaction();
    if (rc == 0)
        rc = add_content();
    // Every begin needs its commit, whatever happened between.
    return first_failure(rc, m_db.CommitTransaction());
}

// A failed step does not stop the later ones; the first failure is the result.
int CGenerateDBInfo::add_content()
{
    try {
        int rc = 0;
        std::int64_t folder = 0;
        rc = first_failure(rc, FindOrCreateFolder(temp_folder, 0, &folder));
        const ChannelEntry temp_channels[] = {{"Default", "TempChannel"}};
        if (folder > 0)
            rc = first_failure(rc, EnsureChannels(temp_channels, folder));
        for (const char* name : plain_folders)
            rc = first_failure(rc, FindOrCreateFolder(name, 0, &folder));
        folder = 0;
        rc = first_failure(rc, FindOrCreateFolder(standard_folder, 0, &folder));
        const std::string host = feed_host();
        std::vector<ChannelEntry> standard;
        for (const StandardFeed& feed : standard_feeds())
            standard.push_back({feed.title, standard_feed_url(feed, host)});
        if (folder > 0)
            rc = first_failure(rc, EnsureChannels(standard, folder));
        return first_failure(rc, FindOrCreateFolder(subscriptions_folder, 0, &folder));
    } catch (const CppSQLite3Exception& e) {
        plat::debug_log(std::string("default feed content: ") + e.errorMessage());
        return e.errorCode();
    }
}

int CGenerateDBInfo::FindOrCreateFolder(const char* name, std::int64_t parent_id, std::int64_t* folder_id)
{
    std::list<RSSFolderRecord> folders;
    m_db.GetFolders(0, &folders);
    for (const RSSFolderRecord& folder : folders) {
        if (folder.name == name && folder.is_predefine && folder.parent_folder_id == parent_id) {
            *folder_id = folder.id;
            return 0;
        }
    }
    RSSFolderRecord record;
    record.type = DataKind::Folder;
    record.name = name;
    record.parent_folder_id = parent_id;
    record.is_predefine = true;
    const int rc = m_db.InsertFolder(&record);
    *folder_id = record.id;
    return rc;
}

int CGenerateDBInfo::EnsureChannels(std::span<const ChannelEntry> channels, std::int64_t folder_id)
{
    std::list<RSSData::tRSSChannel> in_folder;
    m_db.GetFolderChannels(true, folder_id, &in_folder);
    int rc = 0;
    for (const ChannelEntry& entry : channels) {
        std::list<RSSData::tRSSChannel> found;
        if (m_db.GetChannelByFeedUrl(entry.feed_url, &found) == 0 && found.front().folder_id() == folder_id)
            continue;
        if (RSSData::tRSSChannel* moved = on_other_host(in_folder, entry)) {
            moved->feed_url = entry.feed_url;
            rc = first_failure(rc, m_db.UpdateChannel(*moved));
            continue;
        }
        RSSData::tRSSChannel channel;
        channel.set_folder_id(folder_id);
        channel.last_update_time = 0;
        channel.can_auto_update = true;
        channel.can_prefetch = false;
        channel.is_predefine = true;
        channel.disabled = false;
        channel.mark_delete = false;
        channel.item_capability = 200;
        channel.title = entry.title;
        channel.feed_url = entry.feed_url;
        rc = first_failure(rc, m_db.InsertChannel(&channel));
    }
    return rc;
}

// The user's feed host changed: the predefined channel made for the old one
// takes the new address (keeping its items) instead of getting a twin.
RSSData::tRSSChannel* CGenerateDBInfo::on_other_host(std::list<RSSData::tRSSChannel>& in_folder,
                                                    const ChannelEntry& entry)
{
    const std::string_view path = feed_url_path(entry.feed_url);
    if (path.empty())
        return nullptr;
    for (RSSData::tRSSChannel& channel : in_folder)
        if (channel.is_predefine && channel.title == entry.title && feed_url_path(channel.feed_url) == path &&
            channel.feed_url != entry.feed_url)
            return &channel;
    return nullptr;
}
