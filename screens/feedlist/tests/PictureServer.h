#pragma once
// A loopback server of pictures that logs every request and holds
// "/stall.png" back until it goes. Kept out of the widget tests' own file:
// the TLS library's headers that the server brings name a type "UI".

#include <memory>
#include <string>
#include <vector>

namespace test {

class PictureServer {
public:
    // "/thumb.png" is a PNG of width x height, "/feed.xml" serves feed_xml;
    // "/held.png" is the same PNG, answered once release_held() was called.
    PictureServer(int width, int height, std::string feed_xml = {});
    ~PictureServer();

    std::string url(const std::string& path) const;
    std::vector<std::string> logged() const;
    void release_held();

private:
    struct State;
    std::unique_ptr<State> m_state;
};

}
