#pragma once
// The video site's pages as the extension reads and changes them, through
// their document: which kind of page it is, where the subscribe link goes,
// the feed link and the channel title. Two kinds are served: a watch page,
// with the site's own subscribe block ("subscribeDiv"), and a page with a
// feed link (an anchor of class "rsslink").

#include "platform/com/ComPtr.h"
#include "platform/html/HtmlInterfaces.h"

#include <optional>
#include <string>

namespace browserext {

class YoutubePage {
public:
    YoutubePage(plat::ComPtr<IHTMLDocument2> document, plat::ComPtr<IHTMLDocument3> document3);

    bool is_watch_page();
    // The first element of the tag whose class attribute is exactly `name`.
    plat::ComPtr<IHTMLElement> find_element_by_class(const char* tag, const char* name);
    // The feed link's address, read against the page's; none without a feed link.
    std::optional<std::string> feed_link();
    // The channel title of a page with a feed link: the "main-header" text,
    // followed by "- " and the text before "time-slice-modifiers" when that
    // is there; "RSS From Youtube" without a header.
    std::string feed_page_title();
    // Shows the subscribe link in its container, making the container when
    // missing, or takes the container off the page.
    HRESULT set_subscribed_state(bool show);
    // Whether the page carries the extension's container.
    bool is_handled();

private:
    plat::ComPtr<IHTMLElement> element(const char* id);
    HRESULT insert_container();
    std::string subscribe_link_html();

    plat::ComPtr<IHTMLDocument2> m_document;
    plat::ComPtr<IHTMLDocument3> m_document3;
};

}
