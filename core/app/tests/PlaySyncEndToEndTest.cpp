// The program end to end over play, download and device sync, on an X server
// that xvfb-run starts for the run: a feed site on 127.0.0.1 serves one item
// whose video is a 5 s FLV made here with ffmpeg; a music player made with
// libgpod is given to the program as removable drive E. The test drags the
// item onto the device pane and the download pane, plays it to its end while
// the copy for the device is made, reads the player's database until the
// video is listed there, quits, starts the program again and drags the item
// once more: the feed list keeps its place. Every click is given once, after
// what it lands on has come to rest; one that is not taken fails the test.

#include "core/app/testing/FreshProfile.h"
#include "core/app/testing/ProgramUnderTest.h"
#include "core/app/testing/Screen.h"
#include "feedparser/pellow/testing/FeedSite.h"
#include "platform/fs/Files.h"
#include "platform/fs/testing/ScopedEnvironment.h"
#include "platform/fs/testing/TempFolder.h"
#include "platform/script/testing/ModuleTesting.h"

#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <gpod/itdb.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>

namespace {

using namespace std::chrono_literals;
using app_testing::FreshProfile;
using app_testing::ProgramUnderTest;
using app_testing::Screen;
using app_testing::wait_until;

// 5 s of H.263 video with MP3 sound in FLV, as the video site serves them.
std::string make_clip(const std::string& folder)
{
    const std::string path = folder + "/clip.flv";
    const std::string command = "ffmpeg -nostdin -hide_banner -loglevel error -y"
                                " -f lavfi -i testsrc=size=320x240:rate=25:duration=5"
                                " -f lavfi -i sine=frequency=440:sample_rate=22050:duration=5"
                                " -c:v flv -g 25 -c:a libmp3lame -ar 22050 -b:a 64k -f flv " + path;
    return std::system(command.c_str()) == 0 ? plat::read_file(path).bytes : std::string();
}

// A still of the clip, the item's thumbnail.
std::string make_thumbnail(const std::string& folder)
{
    const std::string path = folder + "/thumb.jpg";
    const std::string command = "ffmpeg -nostdin -hide_banner -loglevel error -y"
                                " -f lavfi -i testsrc=size=120x90 -frames:v 1 " + path;
    return std::system(command.c_str()) == 0 ? plat::read_file(path).bytes : std::string();
}

// The site's feed: one item with its video and thumbnail.
std::string feed_of(const std::string& clip_url, const std::string& thumbnail_url)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<rss version=\"2.0\" xmlns:media=\"http://search.yahoo.com/mrss/\">\n"
           "<channel><title>Test feed</title><link>http://www.example.com/</link><description>site</description>\n"
           "<item><title>Test clip</title><link>http://www.example.com/watch?v=clip</link>"
           "<description>Five seconds of test picture.</description>"
           "<media:content url=\"" + clip_url + "\" type=\"video/x-flv\"/>"
           "<media:thumbnail url=\"" + thumbnail_url + "\" width=\"120\" height=\"90\"/></item>\n</channel></rss>";
}

// The titles of the player's tracks, read as a fresh program would.
std::vector<std::string> player_tracks(const std::string& mount)
{
    std::vector<std::string> titles;
    Itdb_iTunesDB* db = itdb_parse(mount.c_str(), nullptr);
    if (!db) return titles;
    for (GList* at = db->tracks; at; at = at->next) {
        const auto* track = static_cast<const Itdb_Track*>(at->data);
        titles.push_back(track->title ? track->title : "");
    }
    itdb_free(db);
    return titles;
}

// How many of the feed database's items match the condition.
int items_where(const std::string& database, const std::string& condition)
{
    sqlite3* db = nullptr;
    int count = 0;
    if (sqlite3_open_v2(database.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_busy_timeout(db, 1000);
        sqlite3_stmt* query = nullptr;
        const std::string sql = "SELECT count(*) FROM rssitem WHERE " + condition;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &query, nullptr) == SQLITE_OK && sqlite3_step(query) == SQLITE_ROW)
            count = sqlite3_column_int(query, 0);
        sqlite3_finalize(query);
    }
    sqlite3_close(db);
    return count;
}

// A pixel of the test picture (bars of saturated colour), not of the grey
// interface; a vivid one is not under the wash that dims what cannot play.
enum class Shade { Colourful, Vivid };
bool coloured(std::optional<std::uint32_t> pixel, Shade shade)
{
    if (!pixel) return false;
    const int r = int(*pixel >> 16) & 0xFF, g = int(*pixel >> 8) & 0xFF, b = int(*pixel) & 0xFF;
    const int high = std::max({r, g, b}), spread = high - std::min({r, g, b});
    return shade == Shade::Vivid ? high > 220 && spread > 150 : spread > 60;
}

class PlaySyncEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(app_testing::program_path(), nullptr) << "STRIMO_EXE names the program";
        ASSERT_TRUE(screen.open()) << "run under xvfb-run";
        ASSERT_TRUE(plat::register_modules(STRIMO_REGSVR, {SCRIPT_MODULE, HTML_MODULE, FELDANE_MODULE, PELLOW_MODULE,
                                                           FILTERS_MODULE, QUANDREL_MODULE, ITUNES_MODULE}));
        ASSERT_TRUE(feed_testing::set_feed_settings(site.host(), std::nullopt));
        FreshProfile::set_value(u"EnableIPOD", 1);
        GError* error = nullptr;
        ASSERT_TRUE(itdb_init_ipod(player.path().c_str(), nullptr, "Strimo test", &error));
    }

    Screen::WindowId start()
    {
        program.emplace(std::vector<std::string>{}, profile / "err.txt");
        Screen::WindowId w = 0;
        const auto shown = [&] { return screen.viewable(w = screen.main_window()) && screen.size(w).width >= 1024; };
        return wait_until(shown, 120s) ? w : 0;
    }
    void shot(const std::string& name)
    {
        EXPECT_TRUE(screen.save(screen.main_window(), app_testing::artifact_path("e2e-play-" + name + ".png")));
    }
    std::string log() { return plat::read_file(profile / "debug.log").bytes; }
    // Some pixel of the rectangle passes the test.
    bool any_in(Screen::Point at, Screen::Size size, const std::function<bool(std::uint32_t)>& test)
    {
        const auto seen = screen.pixels(screen.main_window(), at, size);
        return std::any_of(seen.begin(), seen.end(), test);
    }
    std::vector<std::uint32_t> pixels(Screen::Point at, Screen::Size size)
    {
        return screen.pixels(screen.main_window(), at, size);
    }
    // Some pixel along the line from `at`, `length` to the right, has the shade.
    bool coloured_along(Screen::Point at, int length, Shade shade)
    {
        for (int x = at.x; x < at.x + length; ++x)
            if (coloured(screen.pixel(screen.main_window(), {x, at.y}), shade)) return true;
        return false;
    }
    // Clicks once, where the rectangle around the point has come to rest.
    void click_at_rest(Screen::Point at, Screen::Point rest, Screen::Size rest_size)
    {
        EXPECT_TRUE(wait_until([&] { return screen.at_rest(screen.main_window(), rest, rest_size); }, 20s))
            << "the place of the click comes to rest";
        screen.click(screen.main_window(), at);
    }
    bool at_rest(Screen::Point at, Screen::Size size) { return screen.at_rest(screen.main_window(), at, size); }
    // How many times the debug log holds the text.
    std::size_t count_in_log(const std::string& text)
    {
        const std::string all = log();
        std::size_t n = 0;
        for (std::size_t at = all.find(text); at != std::string::npos; at = all.find(text, at + 1)) ++n;
        return n;
    }
    // The end of the debug log, for a failure's message.
    std::string log_tail()
    {
        const std::string all = log();
        return all.substr(all.size() > 3000 ? all.size() - 3000 : 0);
    }

    feed_testing::FeedSite site;
    FreshProfile profile;
    plat::TempFolder player;
    plat::TempFolder media;
    plat::ScopedEnvironment log_file{"STRIMO_DEBUG_LOG", (profile / "debug.log").c_str()};
    plat::ScopedEnvironment volumes{"STRIMO_TEST_VOLUMES", ("E=removable:" + player.path()).c_str()};
    Screen screen;
    std::optional<ProgramUnderTest> program;   // last: killed before the site goes
};

// Where things are in the 1024 x 768 window.
constexpr Screen::Point my_favorites{68, 41};
constexpr Screen::Point tree{0, 25};
constexpr Screen::Size tree_size{180, 200};
constexpr Screen::Point favourite_star{781, 43};   // of the list's first row
constexpr Screen::Point row_thumbnail{278, 84}, row_text{500, 110};   // the text lies beside the thumbnail
constexpr Screen::Point list{200, 25};
constexpr Screen::Size list_size{625, 210};
constexpr Screen::Point download_pane{925, 150}, download_row_thumbnail{834, 90};
constexpr Screen::Point device_pane{925, 450}, device_row_thumbnail{834, 387};
constexpr Screen::Point device_row_text_end{1003, 381},
                       finish_text_end{994, 381};
// The video window, centred while it plays, and the bar's title line.
constexpr Screen::Point video_window{254, 149};
constexpr Screen::Size video_window_size{518, 297};
constexpr Screen::Point bar_title{702, 683};
constexpr Screen::Size bar_title_size{260, 16};
// Strips that differ while a pane or the bar slides and match once it rests:
// the device pane's title bar across, and a column down the bar's left end
// (left of its title, times and buttons, so the same whatever it shows).
constexpr Screen::Point device_title_bar{820, 331};
constexpr Screen::Size device_title_bar_size{204, 1};
constexpr Screen::Point bar_left_end{690, 600};
constexpr Screen::Size bar_left_end_size{1, 168};

// Two bars of the test picture, which the interface never shows.
bool cyan(std::uint32_t p) { return ((p >> 16) & 0xFF) < 100 && ((p >> 8) & 0xFF) > 180 && (p & 0xFF) > 180; }
bool magenta(std::uint32_t p) { return ((p >> 16) & 0xFF) > 180 && ((p >> 8) & 0xFF) < 100 && (p & 0xFF) > 180; }
// Text on the bar's dark face.
bool light(std::uint32_t p) { return ((p >> 16) & 0xFF) > 120 && ((p >> 8) & 0xFF) > 120 && (p & 0xFF) > 120; }

TEST_F(PlaySyncEndToEnd, SendToThePlayerDownloadPlayQuitAndDragAgain)
{
    const std::string clip = make_clip(media.path());
    ASSERT_FALSE(clip.empty()) << "ffmpeg made the clip";
    const std::string thumbnail = make_thumbnail(media.path());
    ASSERT_FALSE(thumbnail.empty());
    site.serve("/media/clip.flv", clip, "video/x-flv");
    site.serve("/media/thumb.jpg", thumbnail, "image/jpeg");
    const std::string feed = feed_of(site.url("/media/clip.flv"), site.url("/media/thumb.jpg"));
    for (const char* name : {"most_popular", "most_viewed", "recently_featured", "most_discussed", "most_recent",
                             "most_responded", "top_favorites", "top_rated"})
        site.serve(std::string("/feeds/base/standardfeeds/") + name, feed);
    const std::string database = profile.data_folder() + "/Rss.db";

    ASSERT_NE(start(), 0u);
    ASSERT_TRUE(site.wait_for_request("/feeds/base/standardfeeds/most_popular"));
    // The program opens on the popular channel: its row, offline (dimmed)
    // until the favourite mark has its video fetched.
    const bool listed = wait_until([&] { return coloured_along(row_thumbnail, 60, Shade::Colourful); }, 30s);
    shot("0-channel");
    ASSERT_TRUE(listed) << "the channel's row shows its thumbnail";
    EXPECT_FALSE(coloured_along(row_thumbnail, 60, Shade::Vivid)) << "dimmed: nothing of it is fetched yet";
    click_at_rest(favourite_star, list, list_size);
    ASSERT_TRUE(wait_until([&] { return items_where(database, "mark_favorite = 1") > 0; }, 10s))
        << "the click on the star makes the item a favourite";
    // The list lets only fetched items (1280) play or be dragged.
    ASSERT_TRUE(wait_until([&] { return items_where(database, "status = 1280") > 0; }, 60s))
        << "the favourite's video is fetched";
    // A list shows the stored marks when it opens: the favourites list the item.
    click_at_rest(my_favorites, tree, tree_size);
    ASSERT_TRUE(wait_until([&] { return coloured_along(row_thumbnail, 60, Shade::Vivid); }, 10s))
        << "the click opens the favourites, where the row is no longer dimmed";
    ASSERT_TRUE(wait_until([&] { return at_rest(list, list_size); }, 20s));
    shot("1-fetched");

    // The item goes onto the device pane, then onto the download pane; the list stays where it is.
    screen.drag(screen.main_window(), row_thumbnail, device_pane);
    const bool queued = wait_until([&] { return coloured_along(device_row_thumbnail, 10, Shade::Vivid); }, 10s);
    ASSERT_TRUE(queued) << "the device pane lists the item";
    screen.drag(screen.main_window(), row_thumbnail, download_pane);
    EXPECT_TRUE(wait_until([&] { return coloured_along(download_row_thumbnail, 10, Shade::Vivid); }, 10s))
        << "the download pane lists the item";
    ASSERT_TRUE(wait_until([&] { return at_rest({0, 0}, {1024, 768}); }, 20s)) << "the window comes to rest";
    EXPECT_TRUE(coloured_along(row_thumbnail, 60, Shade::Vivid)) << "the list keeps its place after the drops";
    shot("2-queued");
    // At rest now: the pane's title bar and the bar where they stay.
    const auto title_bar_at_rest = pixels(device_title_bar, device_title_bar_size);
    const auto bar_at_rest = pixels(bar_left_end, bar_left_end_size);
    ASSERT_FALSE(title_bar_at_rest.empty());
    ASSERT_FALSE(bar_at_rest.empty());

    // The row plays the item while its copy for the device is made.
    const std::size_t ends_before = count_in_log("EVENT-playcomplete");
    click_at_rest(row_text, list, list_size);
    ASSERT_TRUE(wait_until([&] { return log().find("play: " + site.url("/media/clip.flv")) != std::string::npos; }, 10s))
        << "the click on the row plays it\n" << log_tail();
    EXPECT_TRUE(wait_until([&] { return log().find("EVENT-duration") != std::string::npos; }, 10s))
        << "the engine plays and knows the clip's length\n" << log_tail();
    // The debug log's "video window:" and "video layer:" lines say why when no picture comes.
    EXPECT_TRUE(wait_until([&] { return any_in(video_window, video_window_size, cyan) &&
                                        any_in(video_window, video_window_size, magenta); }, 20s))
        << "the video window shows the clip's picture\n" << log_tail();
    EXPECT_TRUE(wait_until([&] { return any_in(bar_title, bar_title_size, light); }, 10s)) << "the bar shows the clip's title";
    shot("3-playing");

    ASSERT_TRUE(wait_until([&] { return !player_tracks(player.path()).empty(); }, 60s)) << log_tail();
    EXPECT_EQ(player_tracks(player.path()), std::vector<std::string>{"Test clip"});
    // Once the clip has ended the list comes back and the panes and the bar
    // slide in again, even when they were shown beside the video, and come
    // to rest where they were before it played.
    ASSERT_TRUE(wait_until([&] { return count_in_log("EVENT-playcomplete") > ends_before; }, 30s))
        << "the clip plays to its end\n" << log_tail();
    ASSERT_TRUE(wait_until([&] { return coloured_along(row_thumbnail, 60, Shade::Vivid) && at_rest({0, 0}, {1024, 768}); },
                           30s)) << "the list is back and the window comes to rest";
    EXPECT_EQ(pixels(device_title_bar, device_title_bar_size), title_bar_at_rest) << "the device pane is back in place";
    EXPECT_EQ(pixels(bar_left_end, bar_left_end_size), bar_at_rest) << "the control bar is back in place";
    // The row's last text, "finish sync to ipod.", comes just after the
    // database is written: it ends a few pixels after "start sync to ipod."
    // and before the longer texts that run on to the pane's edge.
    const auto orange = [](std::uint32_t p) { return ((p >> 16) & 0xFF) > 150 && ((p >> 8) & 0xFF) < 150; };
    const auto text_at = [&](Screen::Point at, int width) {
        const auto seen = screen.pixels(screen.main_window(), at, {width, 12});
        return std::any_of(seen.begin(), seen.end(), orange);
    };
    EXPECT_TRUE(wait_until([&] { return text_at(finish_text_end, 5) && !text_at(device_row_text_end, 17); }, 10s))
        << "the row reads that the copy finished";
    shot("4-on-the-player");

    // Quit and start again: the program opens on the popular channel, where
    // the item is fetched now. A drag of its thumbnail still carries the
    // item, not the list: the list keeps its place after the drop.
    screen.press(screen.main_window(), {XK_Alt_L, XK_x});
    ASSERT_EQ(program->wait(60s), 0) << plat::read_file(profile / "err.txt").bytes;
    ASSERT_NE(start(), 0u);
    ASSERT_TRUE(wait_until([&] { return coloured_along(row_thumbnail, 60, Shade::Vivid) &&
                                        coloured_along(download_row_thumbnail, 10, Shade::Vivid); }, 30s))
        << "the row and its download show again";
    ASSERT_TRUE(wait_until([&] { return at_rest({0, 0}, {1024, 768}); }, 20s)) << "the window comes to rest";
    screen.drag(screen.main_window(), row_thumbnail, download_pane);
    ASSERT_TRUE(wait_until([&] { return at_rest({0, 0}, {1024, 768}); }, 20s)) << "the window comes to rest";
    shot("5-dragged-again");
    EXPECT_TRUE(coloured_along(row_thumbnail, 60, Shade::Vivid)) << "the list keeps its place after the drop";
    EXPECT_TRUE(coloured_along(download_row_thumbnail, 10, Shade::Vivid)) << "the download pane still lists the item";
    screen.press(screen.main_window(), {XK_Alt_L, XK_x});
    EXPECT_EQ(program->wait(60s), 0) << plat::read_file(profile / "err.txt").bytes;
}

}
