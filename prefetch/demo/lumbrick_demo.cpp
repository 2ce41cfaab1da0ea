// lumbrick_demo DB IMAGE_FOLDER [--cycles N] [--item TITLE HTML]...
// Runs the prefetch manager on a feed database with the real download manager
// (its folder beside the database) and prints every submission and every item
// the manager writes. --item first adds an item whose description is HTML and
// whose pictures are due for fetching. Register the HTML document module
// first: strimo-regsvr libplat_html.so.

#include "components/common/feeddb/CRSSDBMgr.h"
#include "components/common/feeddb/IDataActionListener.h"
#include "outside/ostrel/IOstrel.h"
#include "platform/com/Com.h"
#include "prefetch/CPrefechMgr.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <list>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

const char* kind_name(LONG kind)
{
    switch (kind) {
    case OSTREL_KIND_CHANNEL_VIDEO: return "channel video";
    case OSTREL_KIND_FAVOURITE_VIDEO: return "favourite video";
    case OSTREL_KIND_USER_VIDEO: return "pending download";
    case OSTREL_KIND_PICTURE: return "picture";
    default: return "other";
    }
}

// Passes every call to the real download manager and prints the submissions.
class PrintingDownloader final : public IOstrel {
public:
    explicit PrintingDownloader(IOstrel& real) : m_real(real) {}
    BOOL Init(const char* folder, LONG reserved) override { return m_real.Init(folder, reserved); }
    void SetMultiSource(BOOL on) override { m_real.SetMultiSource(on); }
    void SetOnline(BOOL online) override { m_real.SetOnline(online); }
    LONG GetActiveCount() override { return m_real.GetActiveCount(); }
    void AddListener(IBaseEventHandler* listener) override { m_real.AddListener(listener); }
    void RemoveListener(IBaseEventHandler* listener) override { m_real.RemoveListener(listener); }
    LONG AddTask(const DownloadTaskInfo* task, LONG kind) override
    {
        std::printf("submit  %-16s key=%s%s%s\n", kind_name(kind), task->key.c_str(),
                    task->address.empty() ? "" : " from=", task->address.c_str());
        ++submissions;
        return m_real.AddTask(task, kind);
    }
    LONG RemoveTask(const DownloadTaskInfo* task, const char* key) override { return m_real.RemoveTask(task, key); }
    LONG StopTransfer(const DownloadTaskInfo* task, LONG reserved) override { return m_real.StopTransfer(task, reserved); }
    LONG MoveTransfer(const DownloadTaskInfo* task, LONG reserved, LONGLONG position) override
    {
        return m_real.MoveTransfer(task, reserved, position);
    }
    IOstrelItemStore* GetItemStore() override { return m_real.GetItemStore(); }
    LONG Start(LONG reserved, const char* key, LONG flags) override { return m_real.Start(reserved, key, flags); }
    LONG Pause(const char* key) override { return m_real.Pause(key); }
    LONG Resume(const char* key) override { return m_real.Resume(key); }

    std::atomic<int> submissions{0};

private:
    IOstrel& m_real;
};

class PrintingListener final : public IDataActionListener {
public:
    explicit PrintingListener(CRSSDBMgr& db) : m_db(db) {}
    int OnBeforeDataAction(int, int, std::int64_t, int) override { return 0; }
    void OnDataAction(int action, int kind, std::int64_t id, int value) override
    {
        if (action != DataAction::Update || kind != DataKind::Item)
            return;
        std::list<RSSData::tRSSItem> items;
        m_db.GetItems(id, &items);
        if (!items.empty())
            std::printf("write   item %lld \"%s\": status %d, pictures local %s, result %d\n", static_cast<long long>(id),
                        items.front().title.c_str(), items.front().status(), items.front().mark_hd ? "yes" : "no", value);
    }

private:
    CRSSDBMgr& m_db;
};

// An item due for its pictures: high definition, pictures not yet local.
void add_item(CRSSDBMgr& db, const std::string& title, const std::string& html)
{
    std::list<RSSFolderRecord> folders;
    db.GetFolders(0, &folders);
    RSSFolderRecord folder;
    folder.name = "Demo";
    if (!folders.empty())
        folder = folders.front();
    else if (db.InsertFolder(&folder) != 0)
        return;
    std::list<RSSData::tRSSChannel> channels;
    db.GetChannels(0, &channels);
    RSSData::tRSSChannel channel;
    channel.set_folder_id(folder.id);
    channel.feed_url = "http://demo.invalid/feed";
    channel.title = "Demo";
    if (!channels.empty())
        channel = channels.front();
    else if (db.InsertChannel(&channel) != 0)
        return;
    RSSData::tRSSItem item;
    item.folder_id = folder.id;
    item.channel_id = channel.id;
    item.title = title;
    item.original_media_url = "http://demo.invalid/" + title;
    item.display_description = html;
    item.set_status(1280);
    const int result = db.InsertItem(&item);
    std::printf("added   item %lld \"%s\": result %d\n", static_cast<long long>(item.id), title.c_str(), result);
}

// A cycle is over when nothing was submitted and nothing downloaded for a second.
void wait_for_quiet(PrintingDownloader& downloader)
{
    int seen = -1;
    while (seen != downloader.submissions || downloader.GetActiveCount() > 0) {
        seen = downloader.submissions;
        std::this_thread::sleep_for(std::chrono::seconds(1));
    }
}

}

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: lumbrick_demo DB IMAGE_FOLDER [--cycles N] [--item TITLE HTML]...\n");
        return 2;
    }
    int cycles = 1;
    std::vector<std::pair<std::string, std::string>> new_items;
    for (int i = 3; i < argc; ++i) {
        if (std::strcmp(argv[i], "--cycles") == 0 && i + 1 < argc)
            cycles = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--item") == 0 && i + 2 < argc)
            new_items.emplace_back(argv[i + 1], argv[i + 2]), i += 2;
    }
    CoInitialize(nullptr);
    CRSSDBMgr db;
    try {
        if (db.Open(argv[1]) != 0)
            throw std::runtime_error("a table could not be created");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "lumbrick_demo: cannot open %s: %s\n", argv[1], e.what());
        return 1;
    }
    for (const auto& [title, html] : new_items)
        add_item(db, title, html);
    IOstrel* real = CreateOstrel();
    const std::string downloads = (std::filesystem::path(argv[1]).parent_path() / "downloads").string();
    if (!real || !real->Init(downloads.c_str(), 0)) {
        std::fprintf(stderr, "lumbrick_demo: the download manager did not start in %s\n", downloads.c_str());
        return 1;
    }
    PrintingDownloader downloader(*real);
    PrintingListener listener(db);
    db.AddListener(&listener);
    {
        lumbrick::Options options;
        options.idle_wait_ms = 200;
        CPrefechMgr manager(options);
        manager.Init(&downloader, &db, argv[2]);
        manager.Resume();
        for (int cycle = 1; cycle <= cycles; ++cycle) {
            std::printf("cycle %d\n", cycle);
            manager.Wake();
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            wait_for_quiet(downloader);
        }
        manager.Uninit();
        std::printf("pictures in %s\n", manager.image_folder().c_str());
    }
    db.RemoveListener(&listener);
    ReleaseOstrel(real);
    CoUninitialize();
    return 0;
}
