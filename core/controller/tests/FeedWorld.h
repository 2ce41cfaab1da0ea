#pragma once
// For the controller's tests: the feed parser's modules registered in a
// temporary registry and a loopback feed site as the feed host, kept apart
// from the controller's headers (the site's TLS library names a type UI).

#include <memory>

class FeedWorld {
public:
    virtual ~FeedWorld() = default;
};

// Null when the modules cannot be registered.
std::unique_ptr<FeedWorld> start_feed_world();
