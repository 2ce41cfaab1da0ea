// Folders and channels of the feed database.

#include "components/common/feeddb/CRSSDBMgr.h"

#include "components/common/feeddb/CppSQLite3Query.h"
#include "components/common/feeddb/IDataActionListener.h"
#include "components/common/feeddb/SqlText.h"

using feeddb::i64;
using feeddb::sql_text;

void CRSSDBMgr::ReadFolderRow(const CppSQLite3Query& row, RSSFolderRecord& record)
{
    record.id = row.getInt64Field(0);
    record.type = row.getIntField(1);
    record.parent_folder_id = row.getInt64Field(2);
    record.is_predefine = row.getIntField(3) != 0;
    record.name = row.getStringField(4);
}

void CRSSDBMgr::ReadChannelRow(const CppSQLite3Query& row, RSSData::tRSSChannel& record)
{
    record.id = row.getInt64Field(0);
    record.type = row.getIntField(1);
    record.set_folder_id(row.getInt64Field(2));
    record.last_update_time = row.getInt64Field(3);
    record.can_auto_update = row.getIntField(4) != 0;
    record.can_prefetch = row.getIntField(5) != 0;
    record.is_predefine = row.getIntField(6) != 0;
    record.disabled = row.getIntField(7) != 0;
    record.mark_delete = row.getIntField(8) != 0;
    record.item_capability = row.getIntField(9);
    record.feed_url = row.getStringField(10);
    record.title = row.getStringField(11);
    record.link = row.getStringField(12);
    record.description = row.getStringField(13);
}

int CRSSDBMgr::read_channels(const Sql& sql, std::list<RSSData::tRSSChannel>* list)
{
    if (!list)
        return 1;
    return for_each_row(sql, [&](const CppSQLite3Query& row) { ReadChannelRow(row, list->emplace_back()); });
}

int CRSSDBMgr::GetFolders(std::int64_t folder_id, std::list<RSSFolderRecord>* list)
{
    if (!list)
        return 1;
    const Sql sql = folder_id > 0 ? sql_text("SELECT * FROM rssfolder WHERE id = %lld;", i64(folder_id))
                                  : Sql("SELECT * FROM rssfolder;");
    return for_each_row(sql, [&](const CppSQLite3Query& row) { ReadFolderRow(row, list->emplace_back()); });
}

int CRSSDBMgr::GetChannels(std::int64_t channel_id, std::list<RSSData::tRSSChannel>* list)
{
    if (channel_id > 0)
        return read_channels(sql_text("SELECT * FROM rsschannel WHERE id = %lld;", i64(channel_id)),
                             list);
    return read_channels(Sql("SELECT * FROM rsschannel where disabled=0;"), list);
}

int CRSSDBMgr::GetFolderChannels(bool include_marked_deleted, std::int64_t folder_id,
                                 std::list<RSSData::tRSSChannel>* list)
{
    const long long folder = i64(folder_id);
    if (include_marked_deleted)
        return read_channels(sql_text("SELECT * FROM rsschannel WHERE folder_id = %lld and disabled=0;", folder), list);
    return read_channels(
        sql_text("SELECT * FROM rsschannel WHERE folder_id = %lld and disabled = 0 and mark_delete = 0;", folder), list);
}

int CRSSDBMgr::FindChannelsByTitle(const std::string& title, std::list<RSSData::tRSSChannel>* list)
{
    return read_channels(sql_text("SELECT * FROM rsschannel WHERE rss_channel_title  = '%q' and disabled=0 and "
                                  "mark_delete=0 and length(feed_url) > 0;",
                                  title.c_str()),
                         list);
}

int CRSSDBMgr::GetStaleChannels(std::int64_t time, std::list<RSSData::tRSSChannel>* list)
{
    return read_channels(sql_text("SELECT * FROM rsschannel WHERE last_update_time < %lld and can_auto_update=1 and "
                                  "disabled=0 and mark_delete=0 and length(feed_url) > 0;",
                                  i64(time)),
                         list);
}

int CRSSDBMgr::GetMarkedDeletedChannels(std::list<RSSData::tRSSChannel>* list)
{
    return read_channels(Sql("SELECT * FROM rsschannel WHERE mark_delete=1;"), list);
}

int CRSSDBMgr::GetChannelByFeedUrl(const std::string& feed_url, std::list<RSSData::tRSSChannel>* list)
{
    return read_channels(sql_text("SELECT * FROM rsschannel WHERE feed_url = '%q'", feed_url.c_str()), list);
}

int CRSSDBMgr::InsertFolder(RSSFolderRecord* record)
{
    if (!record)
        return 1;
    const Sql sql =
        record->parent_folder_id <= 0
            ? sql_text("INSERT INTO rssfolder VALUES(NULL, %d, NULL, %d, '%q');", DataKind::Folder,
                       int{record->is_predefine}, record->name.c_str())
            : sql_text("INSERT INTO rssfolder VALUES(NULL, %d, %lld, %d, '%q');", int{record->type},
                       i64(record->parent_folder_id), int{record->is_predefine},
                       record->name.c_str());
    return write(DataAction::Insert, DataKind::Folder, record->id, sql, &record->id);
}

int CRSSDBMgr::InsertChannel(RSSData::tRSSChannel* record)
{
    if (!record)
        return 1;
    const RSSData::tRSSChannel& c = *record;
    const Sql sql = sql_text("INSERT INTO rsschannel VALUES(NULL, %d, %lld, %lld, %d, %d, %d, %d, %d, %d, '%q', '%q', "
                             "'%q','%q');",
                             DataKind::Channel, i64(c.folder_id()),
                             i64(c.last_update_time), int{c.can_auto_update}, int{c.can_prefetch},
                             int{c.is_predefine}, int{c.disabled}, int{c.mark_delete}, int{c.item_capability},
                             c.feed_url.c_str(), c.title.c_str(), c.link.c_str(), c.description.c_str());
    return write(DataAction::Insert, DataKind::Channel, record->id, sql, &record->id);
}

int CRSSDBMgr::UpdateChannel(const RSSData::tRSSChannel& c)
{
    const Sql sql = sql_text(
        "UPDATE rsschannel SET folder_id = %lld, last_update_time = %lld, can_auto_update = %d, can_prefetch = %d, "
        "is_predefine = %d, disabled = %d, mark_delete = %d, item_capability = %d, feed_url = '%q', "
        "rss_channel_title = '%q', rss_channel_link = '%q', rss_channel_description = '%q' WHERE id = %lld;",
        i64(c.folder_id()), i64(c.last_update_time), int{c.can_auto_update},
        int{c.can_prefetch}, int{c.is_predefine}, int{c.disabled}, int{c.mark_delete}, int{c.item_capability},
        c.feed_url.c_str(), c.title.c_str(), c.link.c_str(), c.description.c_str(), i64(c.id));
    return write(DataAction::Update, DataKind::Channel, c.id, sql);
}

int CRSSDBMgr::SetChannelTitle(std::int64_t channel_id, const std::string& title)
{
    return write(DataAction::Update, DataKind::Channel, channel_id,
                 sql_text("UPDATE rsschannel SET rss_channel_title = '%q' WHERE id = %lld;", title.c_str(),
                          i64(channel_id)));
}

int CRSSDBMgr::SetChannelUpdateTime(std::int64_t channel_id, std::int64_t time)
{
    return write(DataAction::Update, DataKind::Channel, channel_id,
                 sql_text("UPDATE rsschannel SET last_update_time = %lld WHERE id = %lld;", i64(time),
                          i64(channel_id)));
}

int CRSSDBMgr::MarkChannelDeleted(std::int64_t channel_id)
{
    return write(DataAction::MarkDelete, DataKind::Channel, channel_id,
                 sql_text("UPDATE rsschannel SET mark_delete = 1 WHERE id = %lld;", i64(channel_id)));
}

int CRSSDBMgr::DeleteChannel(std::int64_t channel_id)
{
    return write(DataAction::Delete, DataKind::Channel, channel_id,
                 sql_text("DELETE FROM rsschannel WHERE id = %lld;", i64(channel_id)));
}
