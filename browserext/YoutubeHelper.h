#pragma once
// The page helper of the video site: made for the browser's current page, used
// for one event or one script call, then dropped. It puts the subscribe link
// and the script that calls back into the browser helper object on the page,
// and works out the feed, title and folder of the channel to write.

#include "browserext/IRSSFetcher.h"
#include "browserext/YoutubePage.h"
#include "platform/com/ComPtr.h"
#include "platform/html/HtmlInterfaces.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class CRSSDBMgr;

class YoutubeHelper {
public:
    // Opens the process's subscription store on first use.
    YoutubeHelper();

    // Takes the fetcher's browser and its document; failures leave the
    // helper without a document, and every later call fails.
    void Init(IRSSFetcher* fetcher);
    // Puts the script block and, unless the channel is stored and enabled,
    // the subscribe link on the page; S_OK at once when the page carries them.
    HRESULT Inject();
    // The first folder whose name holds "My Subscriptions" in any case.
    HRESULT GetFolderId(std::int64_t* id);
    // The channel's feed: the owner's uploads feed on the feed host for a
    // watch page (text is the owner's name), else the feed link (text) with a
    // category page's category spliced in.
    std::string GetFeedUrl(const std::string& text);
    // True shows the subscribe link, false takes its container off the page.
    HRESULT SetSubscribedState(bool show);
    std::string GetTitle();
    // What the page's script passes to Subscribe: the script's
    // "watchUsername" on a watch page; else the feed link, which is also put
    // into the page's "rss_feed_url".
    HRESULT ReadUserName(std::string* name);

    // The subscription store's database; null when it could not be opened.
    CRSSDBMgr* database();

private:
    plat::ComPtr<IDispatch> script();

    plat::ComPtr<IHTMLDocument> m_document;
    plat::ComPtr<IHTMLDocument2> m_document2;
    plat::ComPtr<IHTMLDocument3> m_document3;
    plat::ComPtr<IDispatch> m_fetcher;
    std::string m_location;
    std::optional<browserext::YoutubePage> m_page;
};

// The helper for the fetcher's browser's current page; none when it is no
// plain http page of the video site.
std::unique_ptr<YoutubeHelper> CreatePageHelper(IRSSFetcher* fetcher);
