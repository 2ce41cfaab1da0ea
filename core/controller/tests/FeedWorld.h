#pragma once
// For the controller's tests: the feed parser's modules registered in a
// temporary registry and a loopback feed site as the feed host, kept apart
// from the controller's headers (the site's TLS library names a type UI).

#include <memory>
#include <string>

class FeedWorld {
public:
    virtual ~FeedWorld() = default;
    // The site answers path with a feed of n numbered items.
    virtual void serve_feed(const std::string& path, int items) = 0;
    // The site holds path's transfer open until release().
    virtual void stall(const std::string& path) = 0;
    virtual void release() = 0;
};

// Null when the modules cannot be registered.
std::unique_ptr<FeedWorld> start_feed_world();
