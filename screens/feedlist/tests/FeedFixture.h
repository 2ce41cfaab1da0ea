#pragma once
// A small video feed served on 127.0.0.1 with a thumbnail picture for each
// item, read by the real feed parser into a channel of a feed database in a
// temporary folder, and read back a page at a time. Kept out of the widget
// tests' own files: the TLS library's headers the server brings name a type "UI".

#include "components/common/feeddb/RSSData.h"

#include <memory>
#include <string>
#include <vector>

namespace test {

class FeedFixture {
public:
    // The items numbered in `unserved` (0 the first in the feed) name a
    // thumbnail the site answers with 404.
    explicit FeedFixture(int items, std::vector<int> unserved = {});
    ~FeedFixture();

    // The first `count` items of the channel as the list shows them, newest
    // first; empty when the feed could not be parsed or stored.
    std::vector<RSSData::tRSSItem> first_page(int count);
    // The picture requests the site answered so far.
    std::vector<std::string> picture_requests() const;

private:
    struct State;
    std::unique_ptr<State> m_state;
};

}
