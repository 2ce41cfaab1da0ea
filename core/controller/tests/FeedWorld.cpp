#include "core/controller/tests/FeedWorld.h"

#include "feedparser/pellow/testing/FeedSite.h"

namespace {

class World final : public FeedWorld {
public:
    void serve_feed(const std::string& path, int items) override
    {
        site.serve(path, feed_testing::feed_xml(feed_testing::numbered_items(items)));
    }
    void stall(const std::string& path) override { site.stall(path); }
    void release() override { site.release(); }

    feed_testing::ParserModules modules;
    feed_testing::FeedSite site;
};

}

std::unique_ptr<FeedWorld> start_feed_world()
{
    auto world = std::make_unique<World>();
    if (!world->modules.registered() || !feed_testing::set_feed_settings(world->site.host(), 3000))
        return nullptr;
    return world;
}
