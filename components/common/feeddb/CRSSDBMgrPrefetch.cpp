// The reads and the write of the prefetch manager's passes over the items.

#include "components/common/feeddb/CRSSDBMgr.h"

#include "components/common/feeddb/DescriptionCodec.h"
#include "components/common/feeddb/IDataActionListener.h"
#include "components/common/feeddb/SqlText.h"

using feeddb::i64;
using feeddb::sql_text;

int CRSSDBMgr::GetChannelItemsPageByStatus(std::int64_t channel_id, int status, std::int64_t offset,
                                           std::list<RSSData::tRSSItem>* list)
{
    constexpr std::int64_t page_size = 10;
    return read_items(sql_text("SELECT * FROM rssitem WHERE channel_id = %lld AND mark_delete = 0 AND status = %d "
                               "ORDER BY create_time DESC LIMIT %lld,%lld;",
                               i64(channel_id), status, i64(offset), i64(page_size)),
                      list);
}

int CRSSDBMgr::GetItemsByStatusNotHd(int status, std::list<RSSData::tRSSItem>* list)
{
    return read_items(sql_text("SELECT * FROM rssitem WHERE status == %d AND mark_hd != 1;", status), list);
}

int CRSSDBMgr::GetFavouriteItems(int status, std::list<RSSData::tRSSItem>* list)
{
    return read_items(
        sql_text("SELECT * FROM rssitem WHERE mark_favorite = 1 AND status != %d ORDER BY create_time DESC", status),
        list);
}

int CRSSDBMgr::SetItemLocalImages(const std::string* description, const std::string* thumb_path,
                                  std::int64_t item_id)
{
    Sql sql = std::string("UPDATE rssitem SET mark_hd=1");
    if (description) {
        const std::optional<std::string> stored = feeddb::encode_description(*description);
        const Sql assignment = stored ? sql_text(", display_description = '%q'", stored->c_str()) : std::nullopt;
        sql = assignment ? *sql + *assignment : Sql();
    }
    if (sql && thumb_path) {
        const Sql assignment = sql_text(", local_thumb_file_path = '%q'", thumb_path->c_str());
        sql = assignment ? *sql + *assignment : Sql();
    }
    const Sql where = sql_text(" WHERE id = %lld;", i64(item_id));
    return write(DataAction::Update, DataKind::Item, item_id, sql && where ? Sql(*sql + *where) : Sql());
}
