#include "screens/feedlist/tests/PictureServer.h"

#include "platform/d3d9/ImageFile.h"
#include "platform/fs/Files.h"
#include "platform/fs/testing/TempFolder.h"
#include "platform/net/testing/LoopbackServer.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace test {
namespace {

std::string png_bytes(const plat::TempFolder& dir, int width, int height)
{
    std::vector<std::uint32_t> pixels(std::size_t(width) * height, 0xff20c040u);
    std::string error;
    const std::string path = dir / "p.png";
    plat::encode_image_file(path, plat::ImageFileKind::Png, pixels.data(), width, height, width, error);
    return plat::read_file(path).bytes;
}

}  // namespace

struct PictureServer::State {
    plat::TempFolder dir;
    std::string picture;
    std::string feed;
    std::atomic<bool> release{false};
    mutable std::mutex lock;
    std::vector<std::string> requests;   // guarded by lock
    std::condition_variable held_released;
    bool held{true};                     // guarded by lock
    plat::LoopbackServer<> server;       // last: stopped before what its handlers use
};

PictureServer::PictureServer(int width, int height, std::string feed_xml) : m_state(std::make_unique<State>())
{
    State& s = *m_state;
    s.picture = png_bytes(s.dir, width, height);
    s.feed = std::move(feed_xml);
    s.server.server.set_logger([&s](const httplib::Request& req, const httplib::Response&) {
        std::scoped_lock hold(s.lock);
        s.requests.push_back(req.path);
    });
    s.server.server.Get("/thumb.png", [&s](const httplib::Request&, httplib::Response& res) {
        res.set_content(s.picture, "image/png");
    });
    s.server.server.Get("/feed.xml", [&s](const httplib::Request&, httplib::Response& res) {
        res.set_content(s.feed, "application/rss+xml");
    });
    s.server.server.Get("/stall.png", [&s](const httplib::Request&, httplib::Response& res) {
        for (int i = 0; i < 300 && !s.release; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        res.set_content(s.picture, "image/png");
    });
    s.server.server.Get("/held.png", [&s](const httplib::Request&, httplib::Response& res) {
        std::unique_lock hold(s.lock);
        s.held_released.wait(hold, [&s] { return !s.held; });
        res.set_content(s.picture, "image/png");
    });
    s.server.start();
}

PictureServer::~PictureServer()
{
    m_state->release = true;
    release_held();
}

void PictureServer::release_held()
{
    {
        std::scoped_lock hold(m_state->lock);
        m_state->held = false;
    }
    m_state->held_released.notify_all();
}

std::string PictureServer::url(const std::string& path) const { return m_state->server.url(path); }

std::vector<std::string> PictureServer::logged() const
{
    std::scoped_lock hold(m_state->lock);
    return m_state->requests;
}

}
