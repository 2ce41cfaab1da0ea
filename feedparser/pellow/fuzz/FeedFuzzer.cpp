// Feeds come from any server: the parser reads each body as it reads a feed
// (ParseRSS over a feed site on 127.0.0.1, in this process), and what it
// makes of it reads back whole. A body answers quickly: refused, or read.

#include "feedparser/pellow/PellowLib.h"
#include "feedparser/pellow/testing/FeedSite.h"
#include "platform/com/Com.h"
#include "platform/com/ComPtr.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>

namespace {

struct Setup {
    Setup()
    {
        if (CoInitialize(nullptr) != S_OK || !modules.registered() || !feed_testing::set_feed_settings(site.host(), 5000) ||
            CoCreateInstance(CLSID_RSSParser, nullptr, CLSCTX_ALL, IID_IRSSParser, parser.put_void()) != S_OK)
            std::abort();
    }
    feed_testing::ParserModules modules;
    feed_testing::FeedSite site;
    plat::ComPtr<IRSSParser> parser;
};

}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static Setup setup;
    static const plat::Bstr address = plat::Bstr::from_utf8(setup.site.url("/feed"));
    FuzzedDataProvider input(data, size);
    const char* type = input.PickValueInArray({"application/rss+xml", "text/xml; charset=ISO-8859-1", "text/html"});
    const ULONG count = input.ConsumeIntegralInRange<ULONG>(0, 3);
    setup.site.serve("/feed", input.ConsumeRemainingBytesAsString(), type);

    plat::ComPtr<IRSSChannel> channel;
    if (FAILED(setup.parser->ParseRSS(address.get(), count, channel.put()))) return 0;
    plat::ComPtr<IRSSChannelRecord> channel_record;
    RSSData::tRSSChannel channel_fields;
    if (FAILED(channel->QueryInterface(IID_IRSSChannelRecord, channel_record.put_void())) ||
        FAILED(channel_record->GetRecord(&channel_fields)))
        std::abort();
    LONG items = 0;
    channel->GetRSSItemSize(&items);
    if (count != 0 && items > static_cast<LONG>(count)) std::abort();
    for (LONG i = 0; i < items; ++i) {
        plat::ComPtr<IRSSItem> item;
        plat::ComPtr<IRSSItemRecord> record;
        RSSData::tRSSItem fields;
        if (FAILED(channel->GetRSSItem(i, item.put())) || FAILED(item->QueryInterface(IID_IRSSItemRecord, record.put_void())) ||
            FAILED(record->GetRecord(&fields)))
            std::abort();
    }
    return 0;
}
