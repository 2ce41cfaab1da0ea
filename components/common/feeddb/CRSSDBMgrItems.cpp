// Items of the feed database and their download rows.

#include "components/common/feeddb/CRSSDBMgr.h"

#include "components/common/feeddb/CppSQLite3Exception.h"
#include "components/common/feeddb/CppSQLite3Query.h"
#include "components/common/feeddb/DescriptionCodec.h"
#include "components/common/feeddb/IDataActionListener.h"
#include "components/common/feeddb/SqlText.h"
#include "platform/base/DebugLog.h"

#include <sqlite3.h>

using feeddb::i64;
using feeddb::sql_text;

namespace {

// "<id>, " or "NULL, " for an id that refers to nothing.
std::string optional_id(std::int64_t id)
{
    return id > 0 ? std::to_string(id) + ", " : std::string("NULL, ");
}

}

void CRSSDBMgr::ReadItemRow(const CppSQLite3Query& row, RSSData::tRSSItem& record)
{
    record.id = row.getInt64Field(0);
    record.type = row.getIntField(1);
    record.folder_id = row.getInt64Field(2);
    record.channel_id = row.getInt64Field(3);
    record.reference_id = row.getInt64Field(4);
    record.set_status(row.getIntField(5));
    record.create_time = row.getInt64Field(6);
    record.modify_time = row.getInt64Field(7);
    record.mark_delete = row.getIntField(8) != 0;
    record.mark_read = row.getIntField(9) != 0;
    record.mark_favorite = row.getIntField(10) != 0;
    record.can_prefetch = row.getIntField(11) != 0;
    record.mark_hd = row.getIntField(12) != 0;
    record.original_media_url = row.getStringField(13);
    record.convert_media_url = row.getStringField(14);
    record.local_media_file_path = row.getStringField(15);
    record.local_thumb_file_path = row.getStringField(16);
    record.title = row.getStringField(17);
    record.link = row.getStringField(18);
    record.media_thumbnail_url = row.getStringField(19);
    const std::string stored = row.getStringField(20);
    if (stored.empty())
        return;
    if (std::optional<std::string> text = feeddb::decode_description(stored))
        record.display_description = std::move(*text);
    else
        plat::debug_log("feed database: undecodable description of item " + std::to_string(record.id));
}

void CRSSDBMgr::ReadItemDownloadRow(const CppSQLite3Query& row, ItemDownloadRecord& record)
{
    record.id = row.getInt64Field(0);
    record.type = row.getIntField(1);
    record.status = row.getIntField(2);
    record.percent = row.getIntField(3);
    record.total_size = row.getInt64Field(4);
}

int CRSSDBMgr::read_items(const Sql& sql, std::list<RSSData::tRSSItem>* list)
{
    if (!list)
        return 1;
    return for_each_row(sql, [&](const CppSQLite3Query& row) { ReadItemRow(row, list->emplace_back()); });
}

int CRSSDBMgr::GetItems(std::int64_t item_id, std::list<RSSData::tRSSItem>* list)
{
    if (item_id > 0)
        return read_items(sql_text("SELECT * FROM rssitem WHERE id = %lld;", i64(item_id)), list);
    return read_items(Sql("SELECT * FROM rssitem;"), list);
}

int CRSSDBMgr::GetChannelItems(std::int64_t channel_id, std::list<RSSData::tRSSItem>* list)
{
    return read_items(sql_text("SELECT * FROM rssitem WHERE channel_id = %lld;", i64(channel_id)), list);
}

int CRSSDBMgr::GetTrimCandidates(std::int64_t channel_id, bool include_prefetched, int limit,
                                 std::list<RSSData::tRSSItem>* list)
{
    if (include_prefetched)
        return read_items(sql_text("SELECT * FROM rssitem WHERE channel_id = %lld and mark_favorite=0 and id NOT IN "
                                   "(SELECT id FROM itemdownloadinfo) ORDER BY modify_time ASC LIMIT %d;",
                                   i64(channel_id), limit),
                          list);
    return read_items(sql_text("SELECT * FROM rssitem WHERE channel_id = %lld and mark_favorite=0 and id NOT IN "
                               "(SELECT id FROM itemdownloadinfo) and can_prefetch = 0 ORDER BY modify_time ASC "
                               "LIMIT %d;",
                               i64(channel_id), limit),
                      list);
}

int CRSSDBMgr::FindItem(std::int64_t channel_id, const std::string& title, const std::string& link,
                        std::list<RSSData::tRSSItem>* list)
{
    return read_items(sql_text("SELECT * FROM rssitem WHERE channel_id = %lld \t\t\t\t\tand rss_item_title = '%q' "
                               "\t\t\t\t\tand rss_item_link = '%q';",
                               i64(channel_id), title.c_str(), link.c_str()),
                      list);
}

int CRSSDBMgr::GetItemByLink(const std::string& link, std::list<RSSData::tRSSItem>* list)
{
    return read_items(sql_text("SELECT * FROM rssitem WHERE rss_item_link = '%q'", link.c_str()), list);
}

int CRSSDBMgr::GetItemByMediaUrl(const std::string& media_url, std::list<RSSData::tRSSItem>* list)
{
    return read_items(sql_text("SELECT * FROM rssitem WHERE original_media_url = '%q'", media_url.c_str()), list);
}

int CRSSDBMgr::GetDeletedItems(std::int64_t channel_id, std::list<RSSData::tRSSItem>* list)
{
    return read_items(
        sql_text("SELECT * FROM rssitem WHERE channel_id = %lld AND mark_delete!=0 and mark_favorite=0;", i64(channel_id)),
        list);
}

int CRSSDBMgr::GetChannelItemsPage(bool ascending, std::int64_t channel_id, std::int64_t offset, std::int64_t count,
                                   bool status_first, std::list<RSSData::tRSSItem>* list)
{
    const auto page = [&](feeddb::SqlFormat<long long, long long, long long> format) {
        return read_items(sql_text(format, i64(channel_id), i64(offset), i64(count)), list);
    };
    if (ascending && status_first)
        return page("SELECT * FROM rssitem WHERE channel_id = %lld and mark_delete = 0 ORDER BY status DESC, "
                    "create_time ASC LIMIT %lld,%lld;");
    if (ascending)
        return page("SELECT * FROM rssitem WHERE channel_id = %lld and mark_delete = 0 ORDER BY create_time ASC LIMIT "
                    "%lld,%lld;");
    if (status_first)
        return page("SELECT * FROM rssitem WHERE channel_id = %lld and mark_delete = 0 ORDER BY status DESC, "
                    "create_time DESC LIMIT %lld,%lld;");
    return page("SELECT * FROM rssitem WHERE channel_id = %lld and mark_delete = 0 ORDER BY create_time DESC LIMIT "
                "%lld,%lld;");
}

int CRSSDBMgr::GetFavoritesPage(bool ascending, std::int64_t offset, std::int64_t count, bool status_first,
                                std::list<RSSData::tRSSItem>* list)
{
    const auto page = [&](feeddb::SqlFormat<long long, long long> format) {
        return read_items(sql_text(format, i64(offset), i64(count)), list);
    };
    if (ascending && status_first)
        return page("SELECT * FROM rssitem WHERE mark_favorite == 1 and mark_delete = 0 ORDER BY status DESC, "
                    "modify_time ASC LIMIT %lld,%lld;");
    if (ascending)
        return page("SELECT * FROM rssitem WHERE mark_favorite == 1 and mark_delete = 0 ORDER BY modify_time ASC LIMIT "
                    "%lld,%lld;");
    if (status_first)
        return page("SELECT * FROM rssitem WHERE mark_favorite == 1 and mark_delete = 0 ORDER BY status DESC, "
                    "modify_time DESC LIMIT %lld,%lld;");
    return page("SELECT * FROM rssitem WHERE mark_favorite == 1 and mark_delete = 0 ORDER BY modify_time DESC LIMIT "
                "%lld,%lld;");
}

int CRSSDBMgr::GetPrefetchPage(std::int64_t offset, std::int64_t count, bool status_first,
                               std::list<RSSData::tRSSItem>* list)
{
    if (status_first)
        return read_items(sql_text("SELECT * FROM rssitem WHERE can_prefetch = 1 and mark_delete = 0 ORDER BY status "
                                   "DESC, create_time DESC LIMIT %lld,%lld;",
                                   i64(offset), i64(count)),
                          list);
    return read_items(sql_text("SELECT * FROM rssitem WHERE can_prefetch = 1 and mark_delete = 0 ORDER BY create_time "
                               "DESC LIMIT %lld,%lld;",
                               i64(offset), i64(count)),
                      list);
}

int CRSSDBMgr::GetRecentPage(std::int64_t offset, std::int64_t count, bool status_first,
                             std::list<RSSData::tRSSItem>* list)
{
    if (status_first)
        return read_items(sql_text("SELECT * FROM rssitem WHERE mark_read = 1 and mark_delete = 0 ORDER BY status DESC, "
                                   "modify_time DESC LIMIT %lld,%lld;",
                                   i64(offset), i64(count)),
                          list);
    return read_items(sql_text("SELECT * FROM rssitem WHERE mark_read = 1 and mark_delete = 0 ORDER BY modify_time DESC "
                               "LIMIT %lld,%lld;",
                               i64(offset), i64(count)),
                      list);
}

int CRSSDBMgr::GetDownloadItems(std::list<RSSData::tRSSItem>* list)
{
    return read_items(Sql("SELECT * FROM rssitem WHERE EXISTS(SELECT id from itemdownloadinfo where id = rssitem.id);"),
                      list);
}

int CRSSDBMgr::CountChannelItems(std::int64_t channel_id, int* result)
{
    return count(sql_text("SELECT COUNT(*) FROM rssitem WHERE channel_id = %lld and mark_delete == 0;", i64(channel_id)),
                 result);
}

int CRSSDBMgr::CountChannelItemsByStatus(std::int64_t channel_id, int status, int* result)
{
    return count(sql_text("SELECT COUNT(*) FROM rssitem WHERE channel_id = %lld AND mark_delete == 0 AND status = %d;",
                          i64(channel_id), status),
                 result);
}

int CRSSDBMgr::CountChannelItemsFiltered(std::int64_t channel_id, bool include_deleted, bool include_favorites,
                                         int* result)
{
    Sql sql = sql_text("SELECT COUNT(*) FROM rssitem WHERE channel_id = %lld", i64(channel_id));
    if (sql && !include_favorites)
        *sql += " and mark_favorite = 0";
    if (sql && !include_deleted)
        *sql += " and mark_delete = 0";
    return count(sql, result);
}

int CRSSDBMgr::CountFavorites(int* result)
{
    return count(Sql("SELECT COUNT(*) FROM rssitem WHERE mark_favorite = 1 and mark_delete = 0"), result);
}

int CRSSDBMgr::CountPrefetch(int* result)
{
    return count(Sql("SELECT COUNT(*) FROM rssitem WHERE can_prefetch = 1 and mark_delete = 0 ORDER BY create_time DESC;"),
                 result);
}

int CRSSDBMgr::CountRecent(int* result)
{
    return count(Sql("SELECT COUNT(*) FROM rssitem WHERE mark_read = 1 and mark_delete = 0 ORDER BY modify_time DESC;"),
                 result);
}

int CRSSDBMgr::InsertItem(RSSData::tRSSItem* record)
{
    if (!record)
        return 1;
    const RSSData::tRSSItem& r = *record;
    const std::optional<std::string> description = feeddb::encode_description(r.display_description);
    Sql head = sql_text("INSERT INTO rssitem VALUES(NULL, %d, %lld, ", DataKind::Item, i64(r.folder_id));
    const Sql tail = sql_text(
        "%d, %lld, %lld, %d, %d, %d, %d, %d, '%q', '%q', '%q', '%q', '%q', '%q', '%q', '%q');", r.status(),
        i64(r.create_time), i64(r.modify_time), int{r.mark_delete}, int{r.mark_read}, int{r.mark_favorite},
        int{r.can_prefetch}, int{r.mark_hd}, r.original_media_url.c_str(), r.convert_media_url.c_str(),
        r.local_media_file_path.c_str(), r.local_thumb_file_path.c_str(), r.title.c_str(), r.link.c_str(),
        r.media_thumbnail_url.c_str(), description ? description->c_str() : "");
    Sql sql;
    if (head && tail && description)
        sql = *head + optional_id(r.channel_id) + optional_id(r.reference_id) + *tail;
    return write(DataAction::Insert, DataKind::Item, record->id, sql, &record->id);
}

int CRSSDBMgr::UpdateItem(const RSSData::tRSSItem& r)
{
    const Sql head = sql_text("UPDATE rssitem SET folder_id = %lld, channel_id = %lld, reference_id = ", i64(r.folder_id),
                              i64(r.channel_id));
    const Sql tail = sql_text(
        "status = %d, create_time = %lld, modify_time = %lld, mark_delete = %d, mark_read = %d, mark_favorite = %d, "
        "can_prefetch=%d, original_media_url = '%q', convert_media_url = '%q', local_media_file_path = '%q', "
        "local_thumb_file_path = '%q', rss_item_title = '%q', rss_item_link = '%q', rss_item_media_thumbnail_url = "
        "'%q' WHERE id = %lld;",
        r.status(), i64(r.create_time), i64(r.modify_time), int{r.mark_delete}, int{r.mark_read}, int{r.mark_favorite},
        int{r.can_prefetch}, r.original_media_url.c_str(), r.convert_media_url.c_str(), r.local_media_file_path.c_str(),
        r.local_thumb_file_path.c_str(), r.title.c_str(), r.link.c_str(), r.media_thumbnail_url.c_str(), i64(r.id));
    Sql sql;
    if (head && tail)
        sql = *head + optional_id(r.reference_id) + *tail;
    return write(DataAction::Update, DataKind::Item, r.id, sql);
}

int CRSSDBMgr::DeleteItem(std::int64_t item_id)
{
    // The veto comes before anything is deleted, so a refused item keeps its download row.
    if (NotifyBeforeDataAction(DataAction::Delete, DataKind::Item, item_id, 0) != 0)
        return 1;
    NotifyBeforeDataAction(DataAction::Delete, DataKind::ItemDownloadInfo, item_id, 0);
    // The download row must go first (the triggers refuse the item otherwise),
    // and must stay when the item cannot go.
    const int rc = execute_together({sql_text("DELETE FROM itemdownloadinfo where id = %lld;", i64(item_id)),
                                     sql_text("DELETE FROM rssitem WHERE id = %lld;", i64(item_id))},
                                    {{DataAction::Delete, DataKind::ItemDownloadInfo, item_id},
                                     {DataAction::Delete, DataKind::Item, item_id}});
    NotifyDataAction(DataAction::Delete, DataKind::ItemDownloadInfo, item_id, rc);
    NotifyDataAction(DataAction::Delete, DataKind::Item, item_id, rc);
    return rc;
}

int CRSSDBMgr::SetItemMarkDelete(std::int64_t item_id, bool mark_delete)
{
    return write(DataAction::MarkDelete, DataKind::Item, item_id,
                 sql_text("UPDATE rssitem SET mark_delete = %d WHERE id = %lld;", int{mark_delete}, i64(item_id)));
}

int CRSSDBMgr::SetItemTimes(std::int64_t item_id, const RSSData::tRSSItem& times)
{
    return write(DataAction::Update, DataKind::Item, item_id,
                 sql_text("UPDATE rssitem SET modify_time = %lld, create_time = %lld WHERE id = %lld;",
                          i64(times.modify_time), i64(times.create_time), i64(item_id)));
}

int CRSSDBMgr::SetItemStatus(std::int64_t item_id, int status)
{
    if (item_id > 0)
        return write(DataAction::Update, DataKind::Item, item_id,
                     sql_text("UPDATE rssitem SET status = %d WHERE id = %lld;", status, i64(item_id)));
    std::vector<std::int64_t> ids;
    try {
        for_each_row(Sql("SELECT id FROM rssitem;"),
                     [&](const CppSQLite3Query& row) { ids.push_back(row.getInt64Field(0)); });
    } catch (const CppSQLite3Exception& e) {
        plat::debug_log(std::string("feed database: cannot list the items: ") + e.errorMessage());
        return e.errorCode();
    }
    int rc = BeginTransaction();
    for (const std::int64_t id : ids) {
        if (rc != SQLITE_OK)
            break;
        rc = execute(sql_text("UPDATE rssitem SET status = %d WHERE id = %lld;", status, i64(id)));
    }
    const int commit = CommitTransaction();
    return rc != SQLITE_OK ? rc : commit;
}

int CRSSDBMgr::MarkChannelItemsDeleted(std::int64_t channel_id)
{
    return write(DataAction::MarkDelete, DataKind::Channel, channel_id,
                 sql_text("UPDATE rssitem SET mark_delete = 1 WHERE channel_id = %lld;", i64(channel_id)));
}

int CRSSDBMgr::ClearFavorites()
{
    return execute(Sql("UPDATE rssitem SET mark_favorite = 0 WHERE mark_favorite = 1;"));
}

int CRSSDBMgr::MarkPrefetchItemsDeleted()
{
    return execute(Sql("UPDATE rssitem SET mark_delete = 1 WHERE can_prefetch = 1;"));
}

int CRSSDBMgr::MarkReadItemsDeleted()
{
    return execute(Sql("UPDATE rssitem SET mark_delete = 1 WHERE mark_read = 1;"));
}

int CRSSDBMgr::InsertItemDownloadInfo(const ItemDownloadRecord& r)
{
    return write(DataAction::Insert, DataKind::ItemDownloadInfo, r.id,
                 sql_text("INSERT INTO itemdownloadinfo VALUES(%lld, %d, %d, %d, %lld);", i64(r.id),
                          DataKind::ItemDownloadInfo, r.status, r.percent, i64(r.total_size)));
}

int CRSSDBMgr::UpdateItemDownloadInfo(const ItemDownloadRecord& r)
{
    return write(DataAction::Update, DataKind::ItemDownloadInfo, r.id,
                 sql_text("UPDATE itemdownloadinfo SET status = %d, percent = %d, total_size = %lld where id = %lld;",
                          r.status, r.percent, i64(r.total_size), i64(r.id)));
}

int CRSSDBMgr::DeleteItemDownloadInfo(std::int64_t item_id)
{
    return write(DataAction::Delete, DataKind::ItemDownloadInfo, item_id,
                 sql_text("DELETE FROM itemdownloadinfo where id = %lld;", i64(item_id)));
}

int CRSSDBMgr::GetItemDownloadInfos(std::list<ItemDownloadRecord>* list)
{
    if (!list)
        return 1;
    return for_each_row(Sql("SELECT * FROM itemdownloadinfo;"),
                        [&](const CppSQLite3Query& row) { ReadItemDownloadRow(row, list->emplace_back()); });
}
