// Speed of the feed database against the sqlite3 command-line shell running
// the same statements from a .sql file: 100,000 items inserted into one
// channel in transactions of 50 (as the feed updater writes), then updated the
// same way, then read back 25 at a time as the item list pages through the
// channel; last, the time of one page at the channel's end, where a page
// costs most, by ours and by the shell's own timer on the same query (the
// median of 20 runs each).
//
//   feeddb_bench [items]      (default 100000; needs /usr/bin/sqlite3)

#include "components/common/feeddb/CRSSDBMgr.h"
#include "components/common/feeddb/DescriptionCodec.h"
#include "components/common/feeddb/SqlText.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

using feeddb::i64;
using feeddb::sql_text;
using Clock = std::chrono::steady_clock;

constexpr int batch = 50;
constexpr int page = 25;

RSSData::tRSSItem make_item(int i, std::int64_t channel, std::int64_t folder)
{
    RSSData::tRSSItem item;
    item.folder_id = folder;
    item.channel_id = channel;
    item.title = "Video number " + std::to_string(i) + " it's here";
    item.link = "http://videos.example/watch?v=" + std::to_string(i);
    item.media_thumbnail_url = "http://i.example/vi/" + std::to_string(i) + "/default.jpg";
    item.original_media_url = "http://media.example/v/" + std::to_string(i);
    item.display_description = "<img src=\"" + item.media_thumbnail_url + "\"><span>Time:</span><span>3:07</span> " +
                               std::string(200, 'd');
    item.create_time = 133000000000000000LL + i;
    item.modify_time = item.create_time;
    return item;
}

// The statements CRSSDBMgr runs for the same work, as the shell reads them.
std::string insert_sql(const RSSData::tRSSItem& r)
{
    return *sql_text("INSERT INTO rssitem VALUES(NULL, %d, %lld, %lld, NULL, %d, %lld, %lld, %d, %d, %d, %d, %d, '%q', "
                     "'%q', '%q', '%q', '%q', '%q', '%q', '%q');\n",
                     3, i64(r.folder_id), i64(r.channel_id), r.status(), i64(r.create_time), i64(r.modify_time), 0, 0,
                     0, 0, 0, r.original_media_url.c_str(), r.convert_media_url.c_str(),
                     r.local_media_file_path.c_str(), r.local_thumb_file_path.c_str(), r.title.c_str(), r.link.c_str(),
                     r.media_thumbnail_url.c_str(), feeddb::encode_description(r.display_description)->c_str());
}

std::string update_sql(const RSSData::tRSSItem& r)
{
    return *sql_text("UPDATE rssitem SET folder_id = %lld, channel_id = %lld, reference_id = NULL, status = %d, "
                     "create_time = %lld, modify_time = %lld, mark_delete = %d, mark_read = %d, mark_favorite = %d, "
                     "can_prefetch=%d, original_media_url = '%q', convert_media_url = '%q', local_media_file_path = "
                     "'%q', local_thumb_file_path = '%q', rss_item_title = '%q', rss_item_link = '%q', "
                     "rss_item_media_thumbnail_url = '%q' WHERE id = %lld;\n",
                     i64(r.folder_id), i64(r.channel_id), r.status(), i64(r.create_time), i64(r.modify_time), 0, 1, 0,
                     0, r.original_media_url.c_str(), r.convert_media_url.c_str(), r.local_media_file_path.c_str(),
                     r.local_thumb_file_path.c_str(), r.title.c_str(), r.link.c_str(), r.media_thumbnail_url.c_str(),
                     i64(r.id));
}

double seconds_of(const std::function<void()>& work)
{
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double shell_seconds(const std::string& db, const std::string& script)
{
    const std::string command = "sqlite3 -batch '" + db + "' < '" + script + "' > /dev/null";
    double seconds = 0;
    const double total = seconds_of([&] {
        if (std::system(command.c_str()) != 0)
            seconds = -1;
    });
    return seconds < 0 ? -1 : total;
}

// The middle of the times: one slow run on a busy machine does not move it.
double median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// The shell's own median time of the query run repeats times (".timer on"),
// so that starting the shell is not counted; negative when it cannot be had.
double shell_query_seconds(const std::string& db, const std::string& query, int repeats,
                           const std::filesystem::path& script)
{
    {
        std::ofstream out(script);
        out << ".timer on\n";
        for (int i = 0; i < repeats; ++i)
            out << query;
    }
    const std::string command = "sqlite3 -batch '" + db + "' < '" + script.string() + "'";
    std::FILE* output = popen(command.c_str(), "r");
    if (!output)
        return -1;
    std::vector<double> times;
    char line[4096];
    while (std::fgets(line, sizeof line, output)) {
        double real = 0;
        if (std::sscanf(line, "Run Time: real %lf", &real) == 1)
            times.push_back(real);
    }
    const bool whole = pclose(output) == 0 && times.size() == static_cast<std::size_t>(repeats);
    return whole ? median(times) : -1;
}

void report(const char* phase, int items, double ours, double shell)
{
    std::printf("%-8s CRSSDBMgr %10.0f items/s   sqlite3 shell %10.0f items/s   ratio %.2f\n", phase, items / ours,
                items / shell, shell / ours);
}

}

int main(int argc, char** argv)
{
    const int items = argc > 1 ? std::max(batch, std::atoi(argv[1]) / batch * batch) : 100000;
    const auto dir = std::filesystem::temp_directory_path() / ("feeddb-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    setenv("STRIMO_RUNTIME_DIR", dir.c_str(), 1);
    const std::string ours_path = (dir / "Rss.db").string();
    const std::string shell_path = (dir / "shell.db").string();

    CRSSDBMgr db;
    db.Open(ours_path.c_str());
    RSSFolderRecord folder;
    folder.name = "bench";
    db.InsertFolder(&folder);
    RSSData::tRSSChannel channel;
    channel.set_folder_id(folder.id);
    channel.feed_url = "http://feeds.example/bench";
    db.InsertChannel(&channel);
    db.Close();
    std::filesystem::copy_file(ours_path, shell_path);   // same schema, triggers and rows
    db.Open(ours_path.c_str());

    std::ofstream inserts(dir / "insert.sql"), updates(dir / "update.sql"), pages(dir / "page.sql");
    for (int i = 0; i < items; ++i) {
        RSSData::tRSSItem item = make_item(i, channel.id, folder.id);
        item.id = i + 1;
        if (i % batch == 0)
            inserts << "BEGIN TRANSACTION;\n", updates << "BEGIN TRANSACTION;\n";
        inserts << insert_sql(item);
        updates << update_sql(item);
        if (i % batch == batch - 1)
            inserts << "COMMIT TRANSACTION;\n", updates << "COMMIT TRANSACTION;\n";
    }
    const auto page_query = [&](long long offset) {
        return *sql_text("SELECT * FROM rssitem WHERE channel_id = %lld and mark_delete = 0 ORDER BY create_time DESC "
                         "LIMIT %lld,%lld;\n",
                         i64(channel.id), offset, static_cast<long long>(page));
    };
    for (int offset = 0; offset <= items; offset += page)
        pages << page_query(offset);
    inserts.close(), updates.close(), pages.close();

    std::vector<RSSData::tRSSItem> stored;
    int failures = 0;
    const double ours_insert = seconds_of([&] {
        for (int i = 0; i < items; i += batch) {
            failures += db.BeginTransaction() != 0;
            for (int k = i; k < i + batch; ++k) {
                stored.push_back(make_item(k, channel.id, folder.id));
                failures += db.InsertItem(&stored.back()) != 0;
            }
            failures += db.CommitTransaction() != 0;
        }
    });
    const double ours_update = seconds_of([&] {
        for (int i = 0; i < items; i += batch) {
            failures += db.BeginTransaction() != 0;
            for (int k = i; k < i + batch; ++k) {
                stored[k].mark_read = true;
                failures += db.UpdateItem(stored[k]) != 0;
            }
            failures += db.CommitTransaction() != 0;
        }
    });
    std::size_t read = 0;
    const double ours_page = seconds_of([&] {
        for (std::int64_t offset = 0;; offset += page) {
            std::list<RSSData::tRSSItem> list;
            if (db.GetChannelItemsPage(false, channel.id, offset, page, false, &list) != 0)
                break;
            read += list.size();
        }
    });
    constexpr int repeats = 20;
    const long long deepest = items - page;
    std::vector<double> deep_times;
    for (int i = 0; i < repeats; ++i)
        deep_times.push_back(seconds_of([&] {
            std::list<RSSData::tRSSItem> list;
            failures += db.GetChannelItemsPage(false, channel.id, deepest, page, false, &list) != 0;
        }));
    const double ours_deep = median(deep_times);
    db.Close();

    const double shell_insert = shell_seconds(shell_path, (dir / "insert.sql").string());
    const double shell_update = shell_seconds(shell_path, (dir / "update.sql").string());
    const double shell_page = shell_seconds(shell_path, (dir / "page.sql").string());
    const double shell_deep = shell_query_seconds(shell_path, page_query(deepest), repeats, dir / "deep.sql");
    std::filesystem::remove_all(dir);
    const bool shell_failed = shell_insert < 0 || shell_update < 0 || shell_page < 0 || shell_deep < 0;
    if (failures != 0 || read != static_cast<std::size_t>(items) || shell_failed) {
        std::fprintf(stderr, "feeddb_bench: %d failed calls, %zu of %d items read, shell %s\n", failures, read, items,
                     shell_failed ? "failed" : "ok");
        return 1;
    }
    std::printf("%d items, transactions of %d, pages of %d (ratio: shell time / our time)\n", items, batch, page);
    report("insert", items, ours_insert, shell_insert);
    report("update", items, ours_update, shell_update);
    report("page", items, ours_page, shell_page);
    const double ours = ours_insert + ours_update + ours_page;
    const double shell = shell_insert + shell_update + shell_page;
    report("all", 3 * items, ours, shell);
    std::printf("last page of %d in a channel of %d items (offset %lld): CRSSDBMgr %.3f ms   sqlite3 shell %.3f ms",
                page, items, deepest, ours_deep * 1000, shell_deep * 1000);
    // The shell's timer counts whole milliseconds.
    if (shell_deep > 0)
        std::printf("   ratio %.2f", shell_deep / ours_deep);
    std::printf("\n");
    return 0;
}
