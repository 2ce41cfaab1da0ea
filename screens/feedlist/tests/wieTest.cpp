#include "screens/feedlist/wie.h"

#include "screens/feedlist/feedlistLogic.h"
#include "screens/feedlist/tests/FeedListRig.h"

#include "screens/feedlist/tests/PictureServer.h"

#include <gtest/gtest.h>

#include <algorithm>

// cairo keeps the fontconfig patterns of its toy faces for the life of the process.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace {

struct Updates {
    int fired{0};
    float width{0};
    float height{0};
    bool On(UI::EventArgs& e)
    {
        auto& update = static_cast<UI::IEUpdateEventArgs&>(e);
        ++fired;
        width = update.width;
        height = update.height;
        return false;
    }
};

struct BrowserEvents : UI::feedlistLogic {
    int thumbnails{0};
    bool AllowsAllItems() const override { return false; }
    bool MatchesQualityFilter(const RSSData::tRSSItem&) const override { return true; }
    void OnRSSItemMouseDown(UI::wrsslistitem*, UI::MouseEventArgs&) override {}
    void OnRSSItemMouseMove(UI::wrsslistitem*, UI::MouseEventArgs&) override {}
    void OnRSSItemMouseUp(UI::wrsslistitem*, UI::MouseEventArgs&) override {}
    void PostLogicCommand(int, std::intptr_t) override {}
    void OnBrowserItemEvent(UI::wie*) override { ++thumbnails; }
};

// A view loaded with a description, its first "IE_update" awaited.
struct Shown {
    test::SkinRig rig;
    BrowserEvents logic;
    Updates updates;
    UI::wie view{""};

    explicit Shown(const std::string& html, const std::string& address = {}, const std::string& path = {})
    {
        view.SetLogic(&logic);
        view.SetThumbnail(address, path);
        view.Load(html, false);
        view.GetEvent("IE_update", true)->Subscribe(&Updates::On, &updates);
        EXPECT_FALSE(view.IsLoaded());
        EXPECT_TRUE(test::pump_until([&] { return updates.fired > 0; }));
    }
};

std::string repeat(std::string_view piece, int times)
{
    std::string out;
    for (int i = 0; i < times; ++i) out += piece;
    return out;
}

TEST(wie, ShortDescriptionsAre112HighLongOnesTheirOwnHeight)
{
    const struct {
        std::string name;
        std::string html;
        float min_height, max_height;
    } cases[] = {
        {"empty", "", 112, 112},
        {"one line", "<p>A short description</p>", 112, 112},
        {"long", repeat("<p>A line of a long description</p>", 30), 400, 1200},
        {"a tall box", "<div style='height:500px'></div>", 500, 540},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Shown shown(c.html);
        EXPECT_EQ(shown.updates.fired, 1);
        EXPECT_EQ(shown.updates.width, 613);
        EXPECT_GE(shown.updates.height, c.min_height);
        EXPECT_LE(shown.updates.height, c.max_height);
        EXPECT_EQ(shown.view.GetWidth(), 613);
        EXPECT_EQ(shown.view.GetHeight(), shown.updates.height);
        EXPECT_TRUE(shown.view.IsLoaded());
    }
}

TEST(wie, TheThumbnailIsFoundByAddressPathOrFileForm)
{
    const std::string address = "http://127.0.0.1:1/t.jpg";
    const std::string path = "/tmp/strimo thumbs/t 1.jpg";
    const UI::frect fallback{8, 8, 130, 90};   // where the item markup puts its picture
    const UI::frect found{20, 30, 64, 48};
    const auto page = [](const std::string& src) {
        return "<body style='margin:0'><img src='other.png' width=5 height=5 style='display:block'><div style='padding:25px 0 0 20px'>"
               "<img src='" + src + "' width=64 height=48></div></body>";
    };
    const struct {
        std::string name;
        std::string src;
        UI::frect expected;
    } cases[] = {
        {"address", address, found},
        {"raw path with blanks", path, found},
        {"file form", "file:///tmp/strimo%20thumbs/t%201.jpg", found},
        {"no match", "http://127.0.0.1:1/else.jpg", fallback},
        {"empty src", "", fallback},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Shown shown(page(c.src), address, path);
        const UI::frect rect = shown.view.GetThumbnailRect();
        EXPECT_EQ(rect.x, c.expected.x);
        EXPECT_EQ(rect.y, c.expected.y);
        EXPECT_EQ(rect.width, c.expected.width);
        EXPECT_EQ(rect.height, c.expected.height);
    }
}

int white_pixels(UI::wie& view)
{
    const test::Texels texels = test::draw_widget(view, 613, 112);
    return int(std::count_if(texels.pixels.begin(), texels.pixels.end(),
                             [](std::uint32_t p) { return (p & 0xffffffu) == 0xffffffu; }));
}

TEST(wie, TheSpanAfterTimeIsDrawnWhite)
{
    const struct {
        std::string name;
        std::string html;
        bool white;
    } cases[] = {
        {"time span", "<p style='font-size:30px'><span>Time:</span> <span>12:34</span></p>", true},
        {"no time span", "<p style='font-size:30px'><span>Date:</span> <span>12:34</span></p>", false},
        {"time as plain text", "<p style='font-size:30px'>Time: <span>12:34</span></p>", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Shown shown(c.html);
        const test::Texels texels = test::draw_widget(shown.view, 613, 112);
        EXPECT_EQ(texels.at(600, 100), 0x121212u);   // the page's background
        EXPECT_EQ(white_pixels(shown.view) > 20, c.white);
    }
}

TEST(wie, ARemoteThumbnailRebuildsThePageWhenItArrives)
{
    test::PictureServer pictures(200, 300);
    const std::string address = pictures.url("/held.png");
    Shown shown("<img src='" + address + "'><p>text</p>", address);
    EXPECT_EQ(shown.updates.height, 112);   // the picture's box is empty until it comes
    pictures.release_held();
    ASSERT_TRUE(test::pump_until([&] { return shown.updates.fired == 2; }));
    EXPECT_EQ(shown.logic.thumbnails, 1);
    EXPECT_GT(shown.updates.height, 300);   // relaid out at the picture's height
    EXPECT_EQ(shown.view.GetThumbnailRect().height, 300);
    const test::Texels texels = test::draw_widget(shown.view, 613, unsigned(shown.updates.height));
    EXPECT_EQ(texels.at(100, 100), 0x20c040u);
}

TEST(wie, AMissingOrStalledPictureLeavesItsBoxEmpty)
{
    test::PictureServer pictures(200, 300);
    const std::string html = "<img src='" + pictures.url("/missing.png") + "' width=50 height=40>"
                             "<img src='" + pictures.url("/stall.png") + "' width=50 height=40>";
    const auto begun = std::chrono::steady_clock::now();
    {
        Shown shown(html);
        test::pump_until([] { return false; }, std::chrono::milliseconds(500));
        EXPECT_EQ(shown.updates.fired, 1);
        EXPECT_EQ(shown.logic.thumbnails, 0);
        const test::Texels texels = test::draw_widget(shown.view, 613, 112);
        EXPECT_EQ(texels.at(20, 20), 0x121212u);
    }
    // Neither the pump nor the view's end waited for the stalled picture.
    EXPECT_LT(std::chrono::steady_clock::now() - begun, std::chrono::seconds(8));
}

TEST(wie, HostileDescriptionsRenderOrFailCleanly)
{
    test::PictureServer pictures(200, 300);
    const std::string picture = pictures.url("/thumb.png");
    const std::string elsewhere = pictures.url("/not-a-picture");
    const struct {
        std::string name;
        std::string html;
    } cases[] = {
        {"script", "<script>document.write('<img src=\"" + elsewhere + "\">')</script><script src='" + elsewhere +
                       "'></script><p>after</p>"},
        {"event attributes", "<body onload=\"location='" + elsewhere + "'\"><img src='" + picture +
                                 "' onload='x()' onerror='y()'></body>"},
        {"iframe", "<iframe src='" + elsewhere + "'></iframe><frameset><frame src='" + elsewhere + "'></frameset>"},
        {"style sheets", "<style>@import url(" + elsewhere + ");div{background:url(" + picture + ")}</style>"
                         "<link rel=stylesheet href='" + elsewhere + "'><div>x</div>"},
        {"five megabytes of text", std::string(5u << 20, 'w')},
        {"10,000 nested elements", repeat("<div>", 10000) + "deep" + repeat("</div>", 10000)},
        {"invalid UTF-8", "<p>\xff\xfe broken \xc3( bytes \xe6\x97</p>"},
        {"huge declared picture", "<img src='" + picture + "' width=90000 height=90000>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Shown shown(c.html);
        EXPECT_EQ(shown.updates.width, 613);
        EXPECT_GE(shown.updates.height, 112);
        EXPECT_LE(shown.updates.height, 8192);
        test::draw_widget(shown.view, 613, 112);
    }
    test::pump_until([] { return false; }, std::chrono::milliseconds(300));
    for (const std::string& path : pictures.logged()) EXPECT_EQ(path, "/thumb.png");
}

}
