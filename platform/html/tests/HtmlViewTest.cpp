#include "platform/html/HtmlView.h"
#include "platform/html/PictureFetcher.h"

#include "platform/d3d9/ImageFile.h"
#include "platform/fs/Files.h"
#include "platform/fs/testing/TempFolder.h"
#include "platform/html/HtmlTree.h"
#include "platform/net/testing/LoopbackServer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

// cairo keeps the fontconfig patterns of its toy faces for the life of the process.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace {

using plat::html::HtmlView;

constexpr int Width = 613;
constexpr std::string_view DarkPage = "*{color:#bcbcbc}body{background:#121212;font-size:12px}";

struct Shown {
    std::unique_ptr<plat::html::Node> tree;
    HtmlView view;
    int height{0};
};

std::unique_ptr<Shown> show(std::string_view html, std::string_view css = DarkPage)
{
    auto shown = std::make_unique<Shown>();
    shown->tree = plat::html::parse_document(html);
    if (!shown->tree) return shown;
    shown->view.load(*shown->tree, css);
    shown->height = shown->view.layout(Width);
    return shown;
}

std::vector<std::uint32_t> paint(const HtmlView& view, int height)
{
    std::vector<std::uint32_t> texels(std::size_t(Width) * height, 0xff00ff00u);
    view.paint(texels.data(), Width, height, Width * 4, 0, 0);
    return texels;
}

std::string repeat(std::string_view piece, int times)
{
    std::string out;
    for (int i = 0; i < times; ++i) out += piece;
    return out;
}

TEST(HtmlView, HeightFollowsTheContent)
{
    const struct {
        std::string name;
        std::string html;
        int min_height, max_height;
    } cases[] = {
        {"empty", "", 0, 20},
        {"one line", "<p>One line</p>", 20, 60},
        {"a fixed box", "<div style='height:300px'>tall</div>", 300, 330},
        {"forty paragraphs", repeat("<p>line</p>", 40), 40 * 20, 40 * 40},
        {"a picture of declared size", "<img src='x.png' width=130 height=90>", 90, 120},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto shown = show(c.html);
        EXPECT_GE(shown->height, c.min_height);
        EXPECT_LE(shown->height, c.max_height);
        EXPECT_EQ(shown->view.height(), shown->height);
    }
}

TEST(HtmlView, ElementPlacesAreSummedUpTheTree)
{
    auto shown = show("<body style='margin:0'><div style='margin-left:11px;padding-top:70px'>"
                      "<img src='a.png' width=130 height=90></div><span>x</span><img src='b.png' width=5 height=6>"
                      "</body>");
    const auto first = shown->view.element_rect("img", 0);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->x, 11);
    EXPECT_EQ(first->y, 70);
    EXPECT_EQ(first->width, 130);
    EXPECT_EQ(first->height, 90);
    const auto second = shown->view.element_rect("img", 1);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->width, 5);
    EXPECT_FALSE(shown->view.element_rect("img", 2));
    EXPECT_FALSE(shown->view.element_rect("img[src]", 0));
    const std::vector<std::string> asked{"a.png", "b.png"};
    EXPECT_EQ(shown->view.picture_sources(), asked);
}

TEST(HtmlView, PaintsBackgroundTextAndAPictureHandedIn)
{
    auto shown = show("<body style='margin:0'><img src='red.png' width=20 height=10>"
                      "<p style='font-size:40px;color:white'>WWWW</p></body>");
    plat::DecodedImage red;
    red.width = 2;
    red.height = 1;
    red.pixels = {0xffff0000u, 0xffff0000u};
    EXPECT_FALSE(shown->view.set_picture("other.png", red));
    EXPECT_TRUE(shown->view.set_picture("red.png", red));
    const int height = shown->view.layout(Width);
    const auto texels = paint(shown->view, height);
    const auto at = [&](int x, int y) { return texels[std::size_t(y) * Width + x] & 0xffffffu; };
    EXPECT_EQ(at(5, 5), 0xff0000u);                 // the picture, stretched to its box
    EXPECT_EQ(at(600, 5), 0x121212u);               // the page's background
    int white = 0;
    for (int y = 10; y < height; ++y)
        for (int x = 0; x < 200; ++x) white += at(x, y) == 0xffffffu;
    EXPECT_GT(white, 50);                           // the text
}

TEST(HtmlView, HostileMarkupRendersWithoutRunningOrFetching)
{
    std::string invalid_utf8 = "<p>bad \xff\xfe\xc3 bytes \xe6\x97</p>";
    const struct {
        std::string name;
        std::string html;
    } cases[] = {
        {"script", "<script>while(1){}</script><p>after</p>"},
        {"event attributes", "<body onload='x()'><img src='a.png' onerror='y()' onload='z()'></body>"},
        {"iframe and object", "<iframe src='http://127.0.0.1:1/f'></iframe><object data='o'></object>"},
        {"style sheets", "<style>@import url(http://127.0.0.1:1/a.css);</style><link rel=stylesheet href=b.css>"},
        {"five megabytes of text", std::string(5u << 20, 'w')},
        {"10,000 nested elements", repeat("<div>", 10000) + "deep" + repeat("</div>", 10000)},
        {"invalid UTF-8", invalid_utf8},
        {"huge declared box", "<img src='a.png' width=100000 height=100000>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto shown = show(c.html);
        if (!shown->tree) continue;   // refused by the document's limits: nothing to lay out
        EXPECT_GE(shown->height, 0);
        paint(shown->view, 64);
        for (const std::string& src : shown->view.picture_sources()) EXPECT_EQ(src, "a.png");
    }
}

// A picture fetcher whose arrivals the test waits for.
struct Fetching {
    std::mutex lock;
    std::condition_variable woken;
    int arrivals{0};
    plat::html::PictureFetcher fetcher{[this] {
        std::scoped_lock hold(lock);
        ++arrivals;
        woken.notify_all();
    }};

    std::vector<plat::html::FetchedPicture> wait_for(int count)
    {
        std::unique_lock hold(lock);
        woken.wait_for(hold, std::chrono::seconds(20), [&] { return arrivals >= count; });
        hold.unlock();
        return fetcher.take();
    }
};

std::string png_bytes(const plat::TempFolder& dir, int width, int height)
{
    std::vector<std::uint32_t> pixels(std::size_t(width) * height, 0xff3366ccu);
    std::string error;
    const std::string path = dir / "made.png";
    EXPECT_TRUE(plat::encode_image_file(path, plat::ImageFileKind::Png, pixels.data(), width, height, width, error));
    return plat::read_file(path).bytes;
}

TEST(PictureFetcher, FetchesLocalAndWebPicturesOnly)
{
    plat::TempFolder dir;
    const std::string picture = png_bytes(dir, 4, 3);
    const std::string blank_path = dir / "with blanks.png";
    ASSERT_EQ(plat::write_file_atomic(blank_path, picture), 0);
    std::string huge_header = png_bytes(dir, 4000, 4000);
    plat::LoopbackServer<> server;
    std::vector<std::string> requests;
    std::mutex requests_lock;
    server.server.set_logger([&](const httplib::Request& req, const httplib::Response&) {
        std::scoped_lock hold(requests_lock);
        requests.push_back(req.path);
    });
    server.server.Get("/p.png", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content(picture, "image/png");
    });
    server.server.Get("/huge.png", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content(huge_header, "image/png");
    });
    server.server.Get("/big.png", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content(std::string(plat::html::max_picture_bytes + 1, 'x'), "image/png");
    });
    server.start();
    std::string file_form = "file://" + dir.path() + "/with%20blanks.png";
    const struct {
        std::string src;
        bool ok;
    } cases[] = {
        {server.url("/p.png"), true},
        {blank_path, true},
        {file_form, true},
        {server.url("/missing.png"), false},
        {server.url("/huge.png"), false},
        {server.url("/big.png"), false},
        {"ftp://127.0.0.1/p.png", false},
        {"javascript:alert(1)", false},
        {"relative.png", false},
        {"file://otherhost/etc/passwd", false},
    };
    Fetching fetching;
    for (const auto& c : cases) fetching.fetcher.fetch(c.src);
    const auto done = fetching.wait_for(int(std::size(cases)));
    ASSERT_EQ(done.size(), std::size(cases));
    for (std::size_t i = 0; i < done.size(); ++i) {
        SCOPED_TRACE(cases[i].src);
        EXPECT_EQ(done[i].src, cases[i].src);
        EXPECT_EQ(done[i].ok, cases[i].ok) << done[i].error;
        if (cases[i].ok) {
            EXPECT_EQ(done[i].image.width, 4);
        }
    }
    // The server logs a request after answering it, so the client may ask the
    // next picture before the last one is logged: compare what was asked, not when.
    std::scoped_lock hold(requests_lock);
    std::sort(requests.begin(), requests.end());
    const std::vector<std::string> asked{"/big.png", "/huge.png", "/missing.png", "/p.png"};
    EXPECT_EQ(requests, asked);
}

TEST(PictureFetcher, AStalledPictureDoesNotHoldUpItsOwner)
{
    std::atomic<bool> release{false};
    plat::LoopbackServer<> server;
    server.server.Get("/stall.png", [&](const httplib::Request&, httplib::Response& res) {
        for (int i = 0; i < 300 && !release; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
        res.status = 404;
    });
    server.start();
    const auto begun = std::chrono::steady_clock::now();
    {
        Fetching fetching;
        fetching.fetcher.fetch(server.url("/stall.png"));
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        EXPECT_TRUE(fetching.fetcher.take().empty());
    }
    EXPECT_LT(std::chrono::steady_clock::now() - begun, std::chrono::seconds(5));
    release = true;
}

}
