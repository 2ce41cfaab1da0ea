#include "core/controller/tests/FeedWorld.h"

#include "feedparser/pellow/testing/FeedSite.h"

namespace {

class World final : public FeedWorld {
public:
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
