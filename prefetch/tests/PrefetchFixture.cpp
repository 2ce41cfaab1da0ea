#include "PrefetchFixture.h"

#include "platform/com/Com.h"
#include "platform/script/testing/ModuleTesting.h"

#include <chrono>
#include <functional>

namespace prefetch_test {

BindID::tBindID FixedBind::GetBindID(const char* key, const char*)
{
    const std::string text = key ? key : "";
    return {static_cast<LONGLONG>(std::hash<std::string>()(text) >> 2), static_cast<LONGLONG>(text.size())};
}

void WriteWatch::OnDataAction(int action, int kind, std::int64_t id, int value)
{
    if (action != DataAction::Update || kind != DataKind::Item || value != 0)
        return;
    {
        std::scoped_lock hold(m_lock);
        ++m_writes[id];
    }
    m_changed.notify_all();
}

bool WriteWatch::wait_for_writes(std::int64_t item_id, int n)
{
    std::unique_lock hold(m_lock);
    return m_changed.wait_for(hold, std::chrono::seconds(30), [&] { return m_writes[item_id] >= n; });
}

void Prefetch::SetUp()
{
    ASSERT_TRUE(plat::register_modules(STRIMO_REGSVR, {HTML_MODULE}));
    ASSERT_EQ(db.Open((dir.path() + "/Rss.db").c_str()), 0);
    RSSFolderRecord record;
    record.name = "feeds";
    ASSERT_EQ(db.InsertFolder(&record), 0);
    folder = record.id;
    images = dir.path() + "/Image/";
    db.AddListener(&writes);
}

void Prefetch::TearDown()
{
    manager.reset();
    db.RemoveListener(&writes);
}

std::int64_t Prefetch::add_channel(bool can_prefetch, bool disabled)
{
    RSSData::tRSSChannel record;
    record.set_folder_id(folder);
    record.feed_url = "http://feeds/" + std::to_string(std::rand());
    record.can_prefetch = can_prefetch;
    record.disabled = disabled;
    EXPECT_EQ(db.InsertChannel(&record), 0);
    return record.id;
}

std::int64_t Prefetch::add_item(std::int64_t channel, const std::string& name, std::int64_t create_time,
                                const std::string& description, int status, bool mark_hd, bool favourite)
{
    RSSData::tRSSItem record;
    record.folder_id = folder;
    record.channel_id = channel;
    record.title = name;
    record.original_media_url = "http://media/" + name;
    record.display_description = description;
    record.create_time = create_time;
    record.set_status(status);
    record.mark_hd = mark_hd;
    record.mark_favorite = favourite;
    record.local_thumb_file_path = favourite ? "thumb" : "";
    EXPECT_EQ(db.InsertItem(&record), 0);
    return record.id;
}

RSSData::tRSSItem Prefetch::item(std::int64_t id)
{
    std::list<RSSData::tRSSItem> items;
    db.GetItems(id, &items);
    return items.empty() ? RSSData::tRSSItem() : items.front();
}

void Prefetch::start(lumbrick::Options options)
{
    options.bind = &bind;
    manager = std::make_unique<CPrefechMgr>(options);
    ASSERT_TRUE(manager->Init(&downloader, &db, images.c_str()));
    manager->Resume();
    manager->Wake();
}

void Prefetch::stop() { manager->Uninit(); }

}
