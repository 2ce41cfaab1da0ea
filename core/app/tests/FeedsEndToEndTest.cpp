// The program end to end over feeds, on an X server that xvfb-run starts for
// the run: a feed site on 127.0.0.1 serves the standard channels, their
// thumbnails and a short clip to a user who never ran the program. The test
// drives the real program with X input as that user would (open a channel,
// have it prefetched, page forward, play an item, drag it to the download
// pane, change a setting and apply it, quit) and checks what each step leaves
// on the screen (pixels at known places), in the feed database, the registry,
// the download folder and the site's request log. A frame after each step is
// saved as artifacts/e2e-feeds-<n>-<step>.png.

#include "components/common/feeddb/CppSQLite3DB.h"
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

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <vector>

namespace {

using namespace std::chrono_literals;
using app_testing::FreshProfile;
using app_testing::ProgramUnderTest;
using app_testing::Screen;
using app_testing::wait_until;
using Point = Screen::Point;
using Size = Screen::Size;

constexpr int item_count = 30;   // a page of 25 and one of 5
constexpr int thumbnail_count = 8;
const std::string feeds_path = "/feeds/base/standardfeeds/";
const std::string big_channel = "most_viewed";   // "Most Viewed", fetched second after a start

const std::array<const char*, item_count> titles{
    "Harbour seals at low tide", "Night train across the plain", "Bread in a clay oven", "A glassblower's morning",
    "Storm over the salt flats", "Restoring a 1950s radio", "The last ferry of the day", "Beekeeping in the city",
    "Kites over the dunes", "How a pipe organ breathes", "Lighthouse keeper's log", "Snow on the tea terraces",
    "Street market at dawn", "Building a dry stone wall", "Fireflies in the orchard", "Tuning a grand piano",
    "Reindeer crossing the river", "Paper lanterns by hand", "A day on the fishing boat", "Cliff swallows nesting",
    "The clockmaker's bench", "Monsoon in the hill town", "Sourdough from scratch", "Hot air balloons at sunrise",
    "Sheep shearing season", "Cathedral bells rung by hand", "The tide pool at noon", "Weaving on a backstrap loom",
    "Northern lights time-lapse", "Canal boats in winter"};
const std::string first_of_page_two = titles[25];

// The other standard channels, each four items from the end of the titles, but one that has none.
const std::array<const char*, 6> other_channels{"most_popular", "recently_featured", "most_discussed", "most_recent",
                                                "most_responded", "top_favorites"};
const std::string empty_channel = "top_rated";

// Where things are in the 1024 x 768 main window of a fresh profile.
constexpr Point youtube_folder{74, 137};
constexpr Point channel_node{73, 185};
constexpr Point empty_channel_node{66, 329};
constexpr Point channel_prefetch_icon{15, 185};
constexpr Point next_page_arrow{703, 755};
constexpr Point page_one_button{341, 755};
constexpr Point page_two_button{359, 755};
constexpr Point first_thumbnail{278, 84};   // a press there starts a drag
constexpr Point first_row_text{520, 110};   // beside the thumbnail, under the text: a click there plays
constexpr Point download_pane{925, 150};
constexpr Point settings_button{980, 756};
constexpr Point feeds_tab{69, 667};
constexpr Point item_number_field{455, 645};
constexpr Point apply_button{971, 722};
// Where the list area's one-line pages show: centred in the client, 612 wide, up to 56 high.
constexpr Point warning_page{206, 354};
constexpr Size warning_page_size{612, 60};

bool run(const std::string& command) { return std::system(command.c_str()) == 0; }

// The clip every item plays: a zoom into the Mandelbrot set with a tone, as
// FLV (H.264 and AAC); the thumbnails are frames of it in shifted hues.
bool make_media(const std::string& folder)
{
    return run("ffmpeg -loglevel error -y -f lavfi -i mandelbrot=s=320x240:rate=25 -f lavfi -i "
               "sine=frequency=330:sample_rate=44100 -t 8 -c:v libx264 -preset veryfast -pix_fmt yuv420p -b:v 300k "
               "-c:a aac -b:a 64k -f flv '" + folder + "/clip.flv'") &&
           run("ffmpeg -loglevel error -y -i '" + folder + "/clip.flv' -vf 'fps=1,scale=130:90,hue=h=45*n' -frames:v " +
               std::to_string(thumbnail_count) + " '" + folder + "/thumb%d.jpg'");
}

int red(std::uint32_t p) { return int(p >> 16 & 0xFF); }
int green(std::uint32_t p) { return int(p >> 8 & 0xFF); }
int blue(std::uint32_t p) { return int(p & 0xFF); }
bool is_bright(std::uint32_t p) { return red(p) > 180 && green(p) > 180 && blue(p) > 180; }
// The skin's orange (the chosen page button, tree node and tab); the rest of it is grey.
bool is_accent(std::uint32_t p) { return red(p) > 140 && red(p) > green(p) + 50 && green(p) > blue(p) && blue(p) < 100; }
// A tooltip's text, blue on its light plate.
bool is_tip_text(std::uint32_t p) { return blue(p) > 200 && red(p) < 60 && green(p) < 60; }
// Anything drawn over the window's near-black background (a row's frame, text, picture).
bool is_lit(std::uint32_t p) { return std::max({red(p), green(p), blue(p)}) > 40; }
// The strong colours of the clip and its thumbnails.
bool is_vivid(std::uint32_t p)
{
    return std::max({red(p), green(p), blue(p)}) - std::min({red(p), green(p), blue(p)}) > 90;
}

class FeedsEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(app_testing::program_path(), nullptr) << "STRIMO_EXE names the program";
        ASSERT_TRUE(screen.open()) << "run under xvfb-run";
        ASSERT_TRUE(plat::register_modules(STRIMO_REGSVR, {SCRIPT_MODULE, HTML_MODULE, FELDANE_MODULE, PELLOW_MODULE,
                                                           FILTERS_MODULE, QUANDREL_MODULE}));
        ASSERT_TRUE(feed_testing::set_feed_settings(site.host(), std::nullopt));
        ASSERT_TRUE(make_media(media.path()));
        clip = plat::read_file(media / "clip.flv").bytes;
        site.serve("/media/clip.flv", clip, "video/x-flv");
        for (int i = 1; i <= thumbnail_count; ++i)
            site.serve("/thumbs/" + std::to_string(i) + ".jpg", plat::read_file(media / ("thumb" + std::to_string(i) + ".jpg")).bytes,
                       "image/jpeg");
        site.serve(feeds_path + big_channel, feed(0, item_count, 0));
        for (std::size_t i = 0; i < other_channels.size(); ++i)
            site.serve(feeds_path + other_channels[i], feed(item_count - 4 - int(i) * 4, 4, 100 * int(i + 1)));
        site.serve(feeds_path + empty_channel, feed(0, 0, 0));
    }

    // What the window showed when a step failed, for a look.
    void TearDown() override
    {
        if (HasFailure() && program && !program->wait(0ms))
            screen.save(window(), app_testing::artifact_path("e2e-feeds-failed.png"));
    }

    // Items first .. first + n - 1 of the titles, each playing the clip under an address of its own.
    std::string feed(int first, int n, int id_base) const
    {
        std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\" "
                          "xmlns:media=\"http://search.yahoo.com/mrss/\"><channel><title>Videos</title>"
                          "<link>http://www.example.com/</link><description>Today's most watched</description>\n";
        for (int i = first; i < first + n; ++i) {
            const std::string id = std::to_string(id_base + i);
            xml += "<item><title>" + std::string(titles[std::size_t(i)]) +
                   "</title><link>http://www.example.com/watch?v=" + id +
                   "</link><description>Among today's most watched clips.</description><media:group>"
                   "<media:content url=\"" + site.url("/media/clip.flv?v=" + id) +
                   "\" type=\"video/x-flv\" duration=\"8\"/><media:thumbnail url=\"" +
                   site.url("/thumbs/" + std::to_string(i % thumbnail_count + 1) + ".jpg") +
                   "\" width=\"130\" height=\"90\"/></media:group></item>\n";
        }
        return xml + "</channel></rss>";
    }

    bool start()
    {
        program.emplace(std::vector<std::string>{}, profile / "err.txt");
        // The update check's dialog comes and goes first; the main window is never narrower than 1024.
        return wait_until([&] {
            const Screen::WindowId w = screen.main_window();
            return screen.viewable(w) && screen.size(w).width >= 1024;
        }, 120s);
    }
    Screen::WindowId window() { return screen.main_window(); }
    void shot(const std::string& name)
    {
        EXPECT_TRUE(screen.save(window(), app_testing::artifact_path("e2e-feeds-" + name + ".png"))) << name;
    }

    // How many pixels of the rectangle pass the test.
    template <class Test>
    int pixels(Point at, Size size, Test test)
    {
        const auto all = screen.pixels(window(), at, size);
        return int(std::count_if(all.begin(), all.end(), test));
    }
    bool settled(Point at, Size size) { return screen.at_rest(window(), at, size); }
    // Clicks once, where the rectangle around the point has come to rest.
    void click_at_rest(Point at, Point rest, Size rest_size)
    {
        EXPECT_TRUE(wait_until([&] { return settled(rest, rest_size); }, 20s)) << "the place of the click comes to rest";
        screen.click(window(), at);
    }
    bool page_two_shown()
    {
        return pixels(page_two_button, {6, 6}, is_accent) == 36 && pixels(page_one_button, {6, 6}, is_accent) == 0;
    }

    int count(const std::string& sql)
    {
        CppSQLite3DB db;
        db.open((profile.data_folder() + "/Rss.db").c_str());
        return db.execScalar(sql.c_str());
    }
    // The download folder's file of the title, once it holds the whole clip.
    bool downloaded(const std::string& title)
    {
        std::error_code ignored;
        for (const auto& entry : std::filesystem::directory_iterator(profile.data_folder() + "/MyDownload", ignored))
            if (entry.path().stem() == title && entry.is_regular_file() && entry.file_size() == clip.size())
                return plat::read_file(entry.path().string()).bytes == clip;
        return false;
    }
    // The program's state for a failure message: the end of its debug log
    // while it runs, else its exit code and what it said on standard error.
    std::string how_it_ended()
    {
        const auto code = program->wait(0ms);
        if (!code) {
            const std::string log = plat::read_file(profile / "debug.log").bytes;
            return "it still runs; its debug log ends:\n" + log.substr(log.size() > 1500 ? log.size() - 1500 : 0);
        }
        return "it ended with " + std::to_string(*code) + ":\n" + plat::read_file(profile / "err.txt").bytes;
    }

    plat::TempFolder media;
    std::string clip;
    feed_testing::FeedSite site;
    FreshProfile profile;
    plat::ScopedEnvironment log{"STRIMO_DEBUG_LOG", (profile / "debug.log").c_str()};
    Screen screen;
    std::optional<ProgramUnderTest> program;   // last: killed before the site goes
};

TEST_F(FeedsEndToEnd, ChannelPagePlayDownloadSettingsAndQuit)
{
    const std::string in_channel = " and channel_id = (select id from rsschannel where rss_channel_title = 'Most Viewed')";

    // A fresh profile: the standard folders in the tree, the channels fetched into a new feed database.
    ASSERT_TRUE(start());
    ASSERT_TRUE(wait_until([&] { return pixels({32, 131}, {85, 12}, is_bright) > 20; }, 60s)) << "the tree is drawn";
    ASSERT_TRUE(site.wait_for_request(feeds_path + big_channel));
    ASSERT_TRUE(wait_until([&] { return count("select count(*) from rssitem where 1" + in_channel) == item_count; }, 60s))
        << how_it_ended();
    ASSERT_TRUE(wait_until([&] { return settled({0, 0}, {1024, 768}); }, 30s));
    shot("1-start");

    // Folders that hold nothing yet say so on a page in the list's place: no
    // favourites, no recent clips, no search results, and the hint of the
    // user's channels.
    const struct { const char* shot; Point node; } empty_folders[] = {
        {"1a-no-favourites", {68, 41}},
        {"1b-no-recent", {74, 65}},
        {"1c-no-search-results", {72, 89}},
        {"1d-channel-hint", {81, 113}},
    };
    std::vector<std::uint32_t> shown_before;
    for (const auto& folder : empty_folders) {
        SCOPED_TRACE(folder.shot);
        click_at_rest(folder.node, {0, 25}, {180, 200});
        ASSERT_TRUE(wait_until([&] {
            return pixels(warning_page, warning_page_size, is_bright) > 50 && settled(warning_page, warning_page_size) &&
                   screen.pixels(window(), warning_page, warning_page_size) != shown_before;
        }, 20s)) << "the click shows the folder's page; " << how_it_ended();
        shown_before = screen.pixels(window(), warning_page, warning_page_size);
        shot(folder.shot);
    }

    // Open "YouTube Video", then its "Most Viewed" channel: two pages, the first 25 rows.
    screen.click(window(), youtube_folder);
    ASSERT_TRUE(wait_until([&] { return pixels({37, 179}, {72, 12}, is_bright) > 20; }, 20s)) << "the folder opens";
    // A channel the site serves empty says so too.
    click_at_rest(empty_channel_node, {0, 25}, {180, 380});
    ASSERT_TRUE(wait_until([&] {
        return pixels(warning_page, warning_page_size, is_bright) > 50 && settled(warning_page, warning_page_size) &&
               screen.pixels(window(), warning_page, warning_page_size) != shown_before;
    }, 20s)) << "the click shows the empty channel's page; " << how_it_ended();
    shot("1e-no-clips");
    ASSERT_TRUE(wait_until([&] { return settled({0, 25}, {180, 380}); }, 20s));
    screen.click(window(), channel_node);
    ASSERT_TRUE(wait_until([&] { return pixels({5, 177}, {166, 20}, is_accent) > 20; }, 20s)) << "the node is chosen";
    ASSERT_TRUE(wait_until([&] { return pixels(page_one_button, {6, 6}, is_accent) == 36; }, 20s))
        << "page 1 of 2 shows; " << how_it_ended();
    ASSERT_TRUE(wait_until([&] { return pixels({205, 30}, {615, 190}, is_lit) > 5000; }, 20s))
        << "the first row shows; " << how_it_ended();
    ASSERT_TRUE(wait_until([&] { return settled({200, 25}, {625, 720}); }, 20s));
    shot("2-channel");

    // Prefetch makes every item of the channel playable: its video and thumbnail are fetched ahead.
    screen.click(window(), channel_prefetch_icon);
    ASSERT_TRUE(wait_until([&] { return count("select count(*) from rsschannel where can_prefetch = 1") == 1; }, 20s));
    ASSERT_TRUE(wait_until([&] {
        return count("select count(*) from rssitem where status = 1280 and local_thumb_file_path != ''" +
                     in_channel) == item_count;
    }, 60s)) << how_it_ended();
    ASSERT_TRUE(wait_until([&] { return pixels({214, 39}, {130, 90}, is_vivid) > 5000; }, 20s))
        << "the first row shows its thumbnail in full colour; " << how_it_ended();
    ASSERT_TRUE(wait_until([&] { return settled({200, 25}, {625, 720}); }, 20s)) << how_it_ended();
    shot("3-prefetched");

    // The next-page arrow; Page Down posts the same command.
    screen.click(window(), next_page_arrow);
    EXPECT_TRUE(wait_until([&] { return page_two_shown(); }, 10s)) << "the arrow opens page 2";
    screen.press(window(), {XK_Next});
    ASSERT_TRUE(wait_until([&] { return page_two_shown(); }, 10s)) << "Page Down opens page 2; " << how_it_ended();
    // Page Down on the last page loads it again: the frame waits for its rows to come back and rest.
    ASSERT_TRUE(wait_until([&] { return pixels({214, 39}, {130, 90}, is_vivid) > 5000 && settled({200, 25}, {625, 720}); },
                           20s)) << "page 2's first row shows its thumbnail; " << how_it_ended();
    shot("4-page");

    // A click on the row (not its thumbnail, where a press starts a drag) plays it: stored as read, its title on the control bar, its picture in the video window.
    const std::string played = "select count(*) from rssitem where mark_read = 1 and rss_item_title = '" +
                               first_of_page_two + "'" + in_channel;
    click_at_rest(first_row_text, {200, 25}, {625, 300});
    ASSERT_TRUE(wait_until([&] { return count(played) == 1; }, 10s)) << "the click plays the row; " << how_it_ended();
    EXPECT_TRUE(wait_until([&] { return pixels({0, 684}, {1024, 14}, is_bright) > 30; }, 20s)) << "the title shows";
    EXPECT_TRUE(wait_until([&] { return pixels({360, 230}, {360, 300}, is_vivid) > 5000; }, 15s))
        << "the video window shows the clip";
    shot("5-play");

    // When the clip ends the channel comes back on its first page; on the next the played row goes onto
    // the download pane and the clip lands in the download folder.
    ASSERT_TRUE(wait_until([&] { return pixels(page_one_button, {6, 6}, is_accent) == 36; }, 60s))
        << "the list is back; " << how_it_ended();
    // Outside the full-video mode the control bar stays shown over the feed view, the played title on it.
    EXPECT_TRUE(wait_until([&] { return pixels({830, 684}, {190, 14}, is_bright) > 30; }, 10s))
        << "the control bar stays over the feed view after the video";
    screen.press(window(), {XK_Next});
    ASSERT_TRUE(wait_until([&] { return page_two_shown(); }, 10s)) << how_it_ended();
    ASSERT_TRUE(wait_until([&] { return pixels({214, 39}, {130, 90}, is_vivid) > 5000; }, 20s)) << how_it_ended();
    ASSERT_TRUE(wait_until([&] { return settled({200, 25}, {625, 300}); }, 20s));
    screen.drag(window(), first_thumbnail, download_pane);
    ASSERT_TRUE(wait_until([&] { return downloaded(first_of_page_two); }, 30s)) << how_it_ended();
    EXPECT_TRUE(wait_until([&] { return pixels({830, 85}, {190, 230}, is_vivid) > 1000; }, 10s))
        << "the download pane shows the row";
    // Once its fly-in landed the list rests on its one row: its title at the pane's top, not pushed down by the
    // hold (the flying picture passes the thumbnail's place, never the title's).
    EXPECT_TRUE(wait_until([&] { return pixels({899, 50}, {110, 14}, is_bright) > 30; }, 10s))
        << "the download row rests at the pane's top";
    ASSERT_TRUE(wait_until([&] { return settled({0, 0}, {1024, 768}); }, 20s));
    shot("6-download");

    // Settings: the feeds page's item count, entered and applied, is stored.
    screen.click(window(), settings_button);
    ASSERT_TRUE(wait_until([&] { return settled({0, 600}, {1024, 168}) && pixels({27, 640}, {132, 14}, is_accent) > 200; },
                           20s)) << "the settings window slides in on its first tab";
    // The feeds page is known by its field (the tab's highlight also shows
    // under a pointer that merely hovers it).
    click_at_rest(feeds_tab, {0, 600}, {1024, 168});
    ASSERT_TRUE(wait_until([&] { return pixels({405, 638}, {56, 14}, is_bright) > 300; }, 10s))
        << "the click opens the feeds tab and its field shows";
    ASSERT_TRUE(wait_until([&] { return pixels({27, 660}, {132, 14}, is_accent) > 200; }, 20s));
    screen.click(window(), item_number_field);
    screen.press(window(), {XK_End});
    for (int i = 0; i < 3; ++i)
        screen.press(window(), {XK_BackSpace});
    for (Screen::Key digit : {XK_1, XK_2, XK_0})
        screen.press(window(), {digit});
    ASSERT_TRUE(wait_until([&] { return settled({400, 637}, {70, 18}); }, 10s));
    shot("7-settings");
    screen.click(window(), apply_button);
    ASSERT_TRUE(wait_until([&] { return FreshProfile::value(u"RSSItemNumber") == 120u; }, 20s)) << how_it_ended();
    ASSERT_TRUE(wait_until([&] { return pixels({27, 640}, {132, 40}, is_accent) == 0; }, 20s))
        << "the settings window closes";
    ASSERT_TRUE(wait_until([&] { return settled({0, 0}, {1024, 768}); }, 20s));
    shot("8-applied");
    // The pointer rests where the settings window's buttons were: their tooltip went with the window.
    EXPECT_EQ(pixels({apply_button.x - 150, apply_button.y - 30}, {200, 46}, is_tip_text), 0)
        << "no tooltip is left over the control bar";

    screen.press(window(), {XK_Alt_L, XK_x});
    EXPECT_EQ(program->wait(60s), 0) << how_it_ended();
}

}
