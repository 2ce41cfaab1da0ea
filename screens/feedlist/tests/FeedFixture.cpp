#include "screens/feedlist/tests/FeedFixture.h"

#include "components/common/feeddb/CRSSDBMgr.h"
#include "components/common/feeddb/DBRecords.h"
#include "feedparser/pellow/PellowLib.h"
#include "feedparser/pellow/testing/FeedSite.h"
#include "platform/base/Bstr.h"
#include "platform/com/Com.h"
#include "platform/com/ComPtr.h"
#include "platform/d3d9/ImageFile.h"
#include "platform/fs/Files.h"

#include <algorithm>
#include <cmath>
#include <list>

namespace test {
namespace {

const char* const Titles[] = {
    "Harbour lights at dusk",      "Morning market in the old town", "Ridge walk above the clouds",
    "Night train to the coast",    "Kitchen notes: bread at home",   "The river in spring flood",
    "Workshop: a chair from oak",  "Street music on a Sunday",       "Lighthouse keepers",
    "Snow on the mountain pass",   "Slow cooking with beans",        "Birds of the salt marsh",
    "Cycling the canal path",      "An orchard in bloom",            "Tide pools at low water",
    "The last ferry of the day",   "Clockmakers' lane",              "Rain over the tea fields",
    "A village festival",          "Glass blowing, step by step",    "Desert roads at noon",
    "Sailing the northern islands", "Autumn in the beech wood",      "The city from the rooftops",
    "Fishing boats coming home",
};

std::string escape(const std::string& text)
{
    std::string out;
    for (const char c : text) {
        if (c == '&') out += "&amp;";
        else if (c == '<') out += "&lt;";
        else if (c == '>') out += "&gt;";
        else if (c == '"') out += "&quot;";
        else out += c;
    }
    return out;
}

// A 130 x 90 landscape: a sky fading to the horizon over a hill, its colours set by the item.
std::string thumbnail_png(const plat::TempFolder& dir, int n)
{
    constexpr int W = 130, H = 90;
    std::vector<std::uint32_t> pixels(std::size_t(W) * H);
    const double hue = (n * 47 % 360) / 360.0 * 2 * M_PI;
    const auto channel = [](double base, double phase, double t) {
        return int(std::clamp(base + 90 * std::cos(phase) * (1 - t) + 60 * t, 0.0, 255.0));
    };
    for (int y = 0; y < H; ++y) {
        for (int x = 0; x < W; ++x) {
            const double t = double(y) / H;
            const double hill = 58 + 12 * std::sin(x / 17.0 + n) + 6 * std::sin(x / 7.0);
            std::uint32_t r, g, b;
            if (y > hill) {
                const double d = (y - hill) / (H - hill);
                r = std::uint32_t(40 + 30 * std::cos(hue + 2) - 20 * d);
                g = std::uint32_t(90 + 40 * std::cos(hue) - 30 * d);
                b = std::uint32_t(60 + 20 * std::sin(hue) - 20 * d);
            } else {
                r = std::uint32_t(channel(120, hue, t));
                g = std::uint32_t(channel(140, hue + 2.1, t));
                b = std::uint32_t(channel(190, hue + 4.2, t));
            }
            pixels[std::size_t(y) * W + x] = 0xff000000u | r << 16 | g << 8 | b;
        }
    }
    const std::string path = dir / ("thumb" + std::to_string(n) + ".png");
    std::string error;
    plat::encode_image_file(path, plat::ImageFileKind::Png, pixels.data(), W, H, W, error);
    return plat::read_file(path).bytes;
}

}  // namespace

struct FeedFixture::State {
    feed_testing::ParserModules modules;
    plat::TempFolder dir;
    CRSSDBMgr database;
    feed_testing::FeedSite site;   // last: stopped before what its replies use
    int items{0};
    std::int64_t channel_id{0};
};

FeedFixture::FeedFixture(int items, std::vector<int> unserved) : m_state(std::make_unique<State>())
{
    State& s = *m_state;
    s.items = items;
    std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                      "<rss version=\"2.0\" xmlns:media=\"http://search.yahoo.com/mrss/\"><channel>"
                      "<title>Travel and craft</title><link>http://127.0.0.1/</link>";
    for (int i = 0; i < items; ++i) {
        const std::string title = Titles[i % std::size(Titles)];
        const std::string thumb = "/thumbs/" + std::to_string(i) + ".png";
        if (std::find(unserved.begin(), unserved.end(), i) == unserved.end())
            s.site.serve(thumb, thumbnail_png(s.dir, i), "image/png");
        xml += "<item><title>" + escape(title) + "</title><link>http://127.0.0.1/watch/" + std::to_string(i) +
               "</link><description>" + escape("A short film: " + title + ". Filmed on location, told by "
                                                "the people who live there, with the sounds of the place.") +
               "</description><media:group><media:content url=\"" + s.site.url("/media/" + std::to_string(i) + ".flv") +
               "\" duration=\"" + std::to_string(95 + i * 37) + "\"/><media:thumbnail url=\"" + s.site.url(thumb) +
               "\" width=\"130\" height=\"90\"/></media:group></item>";
    }
    xml += "</channel></rss>";
    s.site.serve("/feed.xml", xml);
}

FeedFixture::~FeedFixture() = default;

std::vector<RSSData::tRSSItem> FeedFixture::first_page(int count)
{
    State& s = *m_state;
    std::vector<RSSData::tRSSItem> page;
    if (!s.modules.registered() || FAILED(CoInitialize(nullptr))) return page;
    {
        plat::ComPtr<IRSSParser> parser;
        plat::ComPtr<IRSSChannel> feed;
        const plat::Bstr url = plat::Bstr::from_utf8(s.site.url("/feed.xml"));
        LONG size = 0;
        if (FAILED(CoCreateInstance(CLSID_RSSParser, nullptr, CLSCTX_ALL, IID_IRSSParser, parser.put_void())) ||
            FAILED(parser->ParseRSS(url.get(), ULONG(s.items), feed.put())) || !feed ||
            FAILED(feed->GetRSSItemSize(&size)) || s.database.Open((s.dir / "Rss.db").c_str()) != 0) {
            CoUninitialize();
            return page;
        }
        RSSFolderRecord folder;
        folder.name = "Travel";
        s.database.InsertFolder(&folder);
        RSSData::tRSSChannel channel;
        channel.set_folder_id(folder.id);
        channel.title = "Travel and craft";
        channel.feed_url = s.site.url("/feed.xml");
        s.database.InsertChannel(&channel);
        s.channel_id = channel.id;
        // Last item first, as the updater writes them, so the first is the newest.
        for (LONG i = size - 1; i >= 0; --i) {
            plat::ComPtr<IRSSItem> parsed;
            RSSData::tRSSItem item;
            auto record = SUCCEEDED(feed->GetRSSItem(i, parsed.put())) ? parsed.as<IRSSItemRecord>()
                                                                       : plat::ComPtr<IRSSItemRecord>();
            if (!record || FAILED(record->GetRecord(&item))) continue;
            item.id = 0;
            item.channel_id = channel.id;
            item.folder_id = folder.id;
            item.set_status(i % 4 == 3 ? 0 : 1280);
            item.create_time = item.modify_time = 133000000000000000 + std::int64_t(size - i) * 10000000;
            s.database.InsertItem(&item);
        }
    }
    CoUninitialize();
    std::list<RSSData::tRSSItem> rows;
    s.database.GetChannelItemsPage(false, s.channel_id, 0, count, false, &rows);
    page.assign(rows.begin(), rows.end());
    return page;
}

std::vector<std::string> FeedFixture::picture_requests() const
{
    std::vector<std::string> pictures;
    for (const std::string& r : m_state->site.requests())
        if (r.starts_with("/thumbs/")) pictures.push_back(r);
    return pictures;
}

}
