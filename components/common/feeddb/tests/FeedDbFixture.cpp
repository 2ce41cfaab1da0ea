#include "FeedDbFixture.h"

#include "RawQuery.h"

#include <ostream>

namespace feeddb_test {

std::ostream& operator<<(std::ostream& out, const Notice& n)
{
    return out << (n.before ? "before(" : "after(") << n.action << ", " << n.kind << ", " << n.id << ", " << n.value
               << ")";
}

int RecordingListener::OnBeforeDataAction(int action, int kind, std::int64_t id, int value)
{
    {
        std::scoped_lock hold(m_lock);
        m_notices.push_back({true, action, kind, id, value});
    }
    if (on_call)
        on_call();
    return veto;
}

void RecordingListener::OnDataAction(int action, int kind, std::int64_t id, int value)
{
    {
        std::scoped_lock hold(m_lock);
        m_notices.push_back({false, action, kind, id, value});
    }
    if (on_call)
        on_call();
}

std::vector<Notice> RecordingListener::notices() const
{
    std::scoped_lock hold(m_lock);
    return m_notices;
}

void RecordingListener::clear()
{
    std::scoped_lock hold(m_lock);
    m_notices.clear();
}

void FeedDb::SetUp()
{
    path = dir / CRSSDBMgr::FileName;
    ASSERT_EQ(db.Open(path.c_str()), 0);
    folder = add_folder("folder");
    channel = add_channel(folder, "http://feeds.example/one");
}

std::int64_t FeedDb::add_folder(const std::string& name, std::int64_t parent)
{
    RSSFolderRecord record;
    record.name = name;
    record.parent_folder_id = parent;
    EXPECT_EQ(db.InsertFolder(&record), 0);
    return record.id;
}

std::int64_t FeedDb::add_channel(std::int64_t in_folder, const std::string& url, const std::string& title)
{
    RSSData::tRSSChannel record;
    record.set_folder_id(in_folder);
    record.feed_url = url;
    record.title = title;
    EXPECT_EQ(db.InsertChannel(&record), 0);
    return record.id;
}

RSSData::tRSSItem FeedDb::item_record(std::int64_t in_channel, const std::string& title, std::int64_t create_time)
{
    RSSData::tRSSItem record;
    record.folder_id = folder;
    record.channel_id = in_channel;
    record.title = title;
    record.link = "http://videos.example/" + title;
    record.create_time = create_time;
    record.modify_time = create_time;
    return record;
}

std::int64_t FeedDb::add_item(std::int64_t in_channel, const std::string& title, std::int64_t create_time)
{
    RSSData::tRSSItem record = item_record(in_channel, title, create_time);
    EXPECT_EQ(db.InsertItem(&record), 0);
    return record.id;
}

RSSData::tRSSItem FeedDb::read_item(std::int64_t id)
{
    std::list<RSSData::tRSSItem> items;
    EXPECT_EQ(db.GetItems(id, &items), 0);
    return items.empty() ? RSSData::tRSSItem() : items.front();
}

int FeedDb::rows(const std::string& table) const
{
    const std::vector<std::string> count = query_column(path, "SELECT count(*) FROM " + table);
    return count.size() == 1 && count[0] != "<prepare failed>" ? std::stoi(count[0]) : -1;
}

}
