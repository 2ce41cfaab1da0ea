// A page of 25 items of a feed read by the real parser from a loopback site
// into a temporary feed database, shown by the list with their thumbnails,
// and saved as artifacts/screens-2.png for a look.

#include "screens/feedlist/wrsslist.h"

#include "screens/feedlist/tests/FakeFeedLogic.h"
#include "screens/feedlist/tests/FeedFixture.h"
#include "screens/feedlist/tests/FeedListRig.h"
#include "screens/feedlist/wie.h"
#include "screens/feedlist/wrsslistitem.h"

#include "platform/d3d9/ImageFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

// cairo keeps the fontconfig patterns of its toy faces for the life of the process.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace {

constexpr int PageSize = 25;
constexpr int Unserved = 2;   // this row's thumbnail answers 404
constexpr int Offline = 3;    // this row's item fails the quality filter

TEST(FeedListScreen, APageOfAParsedFeedWithItsThumbnails)
{
    test::FeedFixture feed(PageSize + 5, {Unserved});
    std::vector<RSSData::tRSSItem> page = feed.first_page(PageSize);
    ASSERT_EQ(page.size(), std::size_t(PageSize));
    page[2].mark_favorite = true;

    test::SkinRig rig;
    test::FakeFeedLogic logic;
    UI::window pane("window-rsslistweb");
    pane.CreateBackBuffer(649, 760);
    pane.SetClearColor(255, 24, 24, 26);
    auto* list = new UI::wrsslist("wrsslist_rss");
    pane.AddChild(list);
    list->SetLogic(&logic);
    list->SetPos(12, 10);
    list->CreateBackBuffer(625, 740);
    for (int i = 0; i < PageSize; ++i) list->SetItemAt(i, page[std::size_t(i)]);
    ASSERT_EQ(list->GetItemCount(), PageSize);
    ASSERT_TRUE(test::pump_until([&] { return logic.thumbnails == PageSize - 1; }, std::chrono::seconds(60)));
    ASSERT_TRUE(test::pump_until([&] { return feed.picture_requests().size() == std::size_t(PageSize); },
                                 std::chrono::seconds(60)));
    for (int i = 0; i < PageSize; ++i) {
        SCOPED_TRACE(i);
        const UI::wrsslistitem* row = list->GetItem(i);
        EXPECT_TRUE(row->IsLoaded());
        EXPECT_EQ(row->GetThumbnailRect().width, 130);
        EXPECT_EQ(row->GetWidth(), 625);
        EXPECT_EQ(row->GetContent()->IsThumbnailMissing(), i == Unserved);
    }
    list->GetItem(1)->OnMouseEnter();
    for (int i = 0; i < 3; ++i) list->Draw();

    const test::Texels shot = test::draw_widget(pane, 649, 760);
    const std::filesystem::path out = std::filesystem::path(ARTIFACTS_DIR) / "screens-2.png";
    std::filesystem::create_directories(out.parent_path());
    std::string error;
    ASSERT_TRUE(plat::encode_image_file(out.string(), plat::ImageFileKind::Png, shot.pixels.data(), shot.width,
                                        shot.height, shot.width, error))
        << error;
    // The first row's thumbnail is drawn where the page placed it.
    const UI::frect thumb = list->GetItem(0)->GetThumbnailRect();
    EXPECT_NE(shot.at(int(12 + thumb.x + 60), int(10 + thumb.y + 20)), shot.at(640, 5));
    // A row reads as a feed reader's: the picture at the left, the title in
    // bright text beside its top, and the row about as tall as the picture.
    EXPECT_LT(thumb.x, 20);
    EXPECT_LE(list->GetItem(0)->GetHeight(), thumb.height + 40);
    int bright = 0;
    for (int y = int(10 + thumb.y); y < int(10 + thumb.y + 18); ++y)
        for (int x = int(12 + thumb.x + thumb.width); x < int(12 + thumb.x + thumb.width + 200); ++x) {
            const std::uint32_t p = shot.at(x, y);
            bright += std::min({p >> 16 & 0xFF, p >> 8 & 0xFF, p & 0xFF}) > 230;
        }
    EXPECT_GT(bright, 20) << "the title beside the picture, in the skin's bright text";
    // The row whose thumbnail never came shows an empty tile in its box: its
    // edge differs from the page around it, its middle from a thumbnail's.
    const UI::frect empty = list->GetItem(Unserved)->GetThumbnailRect();
    const UI::wrsslistitem& unserved = *list->GetItem(Unserved);
    const int left = int(12 + unserved.GetX() + empty.x), top = int(10 + unserved.GetY() + empty.y);
    EXPECT_NE(shot.at(left + 1, top + int(empty.height / 2)), shot.at(left - 4, top + int(empty.height / 2)));
    EXPECT_NE(shot.at(left + 60, top + 20), shot.at(int(12 + thumb.x + 60), int(10 + thumb.y + 20)));
    // A row that cannot play now is dimmed, not covered: its thumbnail still
    // shows, darker than a playable row's.
    UI::wrsslistitem& offline = *list->GetItem(Offline);
    ASSERT_TRUE(offline.FindChild("wimage-offline")->IsVisible());
    const UI::frect dimmed = offline.GetThumbnailRect();
    const int x = int(12 + offline.GetX() + dimmed.x + 60), y = int(10 + offline.GetY() + dimmed.y + 10);
    const UI::frect first = list->GetItem(0)->GetThumbnailRect();
    const uint32_t sky = shot.at(int(12 + first.x + 60), int(10 + first.y + 10)), under = shot.at(x, y);
    const int r = int(under >> 16 & 0xFF), g = int(under >> 8 & 0xFF), b = int(under & 0xFF);
    EXPECT_GT(std::max({r, g, b}) - std::min({r, g, b}), 12) << std::hex << under << ": the sky shows through";
    EXPECT_LT(r + g + b, int(sky >> 16 & 0xFF) + int(sky >> 8 & 0xFF) + int(sky & 0xFF)) << "dimmed";
}

}
