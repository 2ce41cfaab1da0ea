#include "feedparser/pellow/PellowLib.h"

#include "platform/com/Com.h"
#include "platform/com/ComObject.h"
#include "platform/com/ComPtr.h"
#include "platform/script/testing/ModuleTesting.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class FeedObjectsTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(CoInitialize(nullptr), S_OK);
        ASSERT_TRUE(plat::register_modules(STRIMO_REGSVR, {PELLOW_MODULE}));
    }
    void TearDown() override { CoUninitialize(); }

    template <class I>
    plat::ComPtr<I> create(REFCLSID clsid)
    {
        plat::ComPtr<I> object;
        EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, I::iid, object.put_void()), S_OK);
        return object;
    }

    plat::TemporaryRegistry m_registry;
};

DISPID id_of(IDispatch* object, const char16_t* name)
{
    std::u16string copy(name);
    LPOLESTR names[] = {copy.data()};
    DISPID id = DISPID_UNKNOWN;
    object->GetIDsOfNames(GUID_NULL, names, 1, 1024, &id);
    return id;
}

std::string get(IDispatch* object, const char16_t* name)
{
    plat::Variant value;
    DISPPARAMS none{};
    EXPECT_EQ(object->Invoke(id_of(object, name), GUID_NULL, 1024, DISPATCH_PROPERTYGET, &none, value.get(), nullptr,
                             nullptr),
              S_OK);
    return value->vt == VT_BSTR ? plat::bstr_to_utf8(value->bstrVal) : "<not text>";
}

// An object that is not one of Pellow's, handed over where an item is expected.
class Stranger final : public plat::ComObject<IUnknown> {
public:
    int queries{0};
    HRESULT QueryInterface(REFIID iid, void** object) noexcept override
    {
        ++queries;
        return ComObject::QueryInterface(iid, object);
    }
};

}

TEST_F(FeedObjectsTest, PropertiesKeepUtf8AndAnswerByDispatchId)
{
    auto item = create<IRSSItem>(CLSID_rssItem);
    auto channel = create<IRSSChannel>(CLSID_RSSChannel);
    plat::Bstr text(u"caf\u00e9 \u4e2d");
    ASSERT_EQ(item->put_media_thumbnail_url(text.get()), S_OK);
    ASSERT_EQ(item->put_original_description(text.get()), S_OK);
    ASSERT_EQ(channel->put_textInput_link(text.get()), S_OK);

    RSSData::tRSSItem record;
    ASSERT_EQ(item.as<IRSSItemRecord>()->GetRecord(&record), S_OK);
    EXPECT_EQ(record.media_thumbnail_url, "caf\xC3\xA9 \xE4\xB8\xAD");
    EXPECT_EQ(record.type, 3);
    EXPECT_EQ(get(item.get(), u"media_thumbnail_url"), "caf\xC3\xA9 \xE4\xB8\xAD");

    plat::Bstr never;
    ASSERT_EQ(item->get_title(never.out()), S_OK);
    ASSERT_NE(never.get(), nullptr);
    EXPECT_EQ(never.length(), 0u) << "a property never set reads as an empty text";

    const struct { IDispatch* object; const char16_t* name; DISPID id; } ids[] = {
        {item.get(), u"title", 1}, {item.get(), u"media_thumbnail_url", 38}, {item.get(), u"media_restriction_type", 62},
        {item.get(), u"display_description", 63}, {item.get(), u"original_description", 64},
        {item.get(), u"CopyValue", 65}, {channel.get(), u"image_link", 17}, {channel.get(), u"image_url", 18},
        {channel.get(), u"textInput_link", 25}, {channel.get(), u"skipDays", 27}, {channel.get(), u"AddRSSItem", 28},
        {channel.get(), u"CopyValue", 31},
    };
    for (const auto& c : ids) {
        SCOPED_TRACE(std::string(c.name, c.name + std::char_traits<char16_t>::length(c.name)));
        EXPECT_EQ(id_of(c.object, c.name), c.id);
    }
    EXPECT_EQ(get(channel.get(), u"textInput_link"), "caf\xC3\xA9 \xE4\xB8\xAD");
}

TEST_F(FeedObjectsTest, ChannelListsItsItemsInOrderWithAReferenceEach)
{
    auto channel = create<IRSSChannel>(CLSID_RSSChannel);
    auto first = create<IRSSItem>(CLSID_rssItem);
    auto second = create<IRSSItem>(CLSID_rssItem);
    LONG size = -1;
    ASSERT_EQ(channel->GetRSSItemSize(&size), S_OK);
    EXPECT_EQ(size, 0);
    ASSERT_EQ(channel->AddRSSItem(first.get()), S_OK);
    ASSERT_EQ(channel->AddRSSItem(second.get()), S_OK);
    ASSERT_EQ(channel->AddRSSItem(first.get()), S_OK);
    ASSERT_EQ(channel->GetRSSItemSize(&size), S_OK);
    EXPECT_EQ(size, 3);

    const struct { LONG index; IRSSItem* expected; } cases[] = {
        {0, first.get()}, {1, second.get()}, {2, first.get()}, {-1, nullptr}, {3, nullptr}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.index);
        plat::ComPtr<IRSSItem> got;
        EXPECT_EQ(channel->GetRSSItem(c.index, got.put()), S_OK);
        EXPECT_EQ(got.get(), c.expected);
    }

    first->AddRef();
    EXPECT_EQ(first->Release(), 3u) << "ours and two in the list";
    EXPECT_EQ(channel->AddRSSItem(nullptr), E_POINTER);
    auto stranger = plat::ComPtr<Stranger>::adopt(new Stranger());
    EXPECT_EQ(channel->AddRSSItem(reinterpret_cast<IRSSItem*>(static_cast<IUnknown*>(stranger.get()))), E_INVALIDARG);
    ASSERT_EQ(channel->GetRSSItemSize(&size), S_OK);
    EXPECT_EQ(size, 3);
}

TEST_F(FeedObjectsTest, CopyValueWritesOnlyIntoPellowsOwnObjects)
{
    auto source = create<IRSSItem>(CLSID_rssItem);
    auto target = create<IRSSItem>(CLSID_rssItem);
    plat::Bstr title(u"Title"), url(u"http://example.com/v.flv");
    source->put_title(title.get());
    source->put_media_content_url(url.get());
    ASSERT_EQ(source->CopyValue(target.get()), S_OK);
    RSSData::tRSSItem copied;
    ASSERT_EQ(target.as<IRSSItemRecord>()->GetRecord(&copied), S_OK);
    EXPECT_EQ(copied.title, "Title");
    EXPECT_EQ(copied.media_content_url, "http://example.com/v.flv");

    EXPECT_EQ(source->CopyValue(nullptr), E_FAIL);
    auto stranger = plat::ComPtr<Stranger>::adopt(new Stranger());
    EXPECT_EQ(source->CopyValue(reinterpret_cast<IRSSItem*>(static_cast<IUnknown*>(stranger.get()))), E_INVALIDARG);
    EXPECT_EQ(stranger->queries, 1) << "asked what it is, nothing written into it";

    auto channel = create<IRSSChannel>(CLSID_RSSChannel);
    auto other = create<IRSSChannel>(CLSID_RSSChannel);
    channel->put_image_url(url.get());
    ASSERT_EQ(channel->CopyValue(other.get()), S_OK);
    RSSData::tRSSChannel record;
    ASSERT_EQ(other.as<IRSSChannelRecord>()->GetRecord(&record), S_OK);
    EXPECT_EQ(record.image_url, "http://example.com/v.flv");
    EXPECT_EQ(record.item_capability, 200);
    EXPECT_EQ(channel->CopyValue(nullptr), E_FAIL);
    EXPECT_EQ(channel->CopyValue(reinterpret_cast<IRSSChannel*>(static_cast<IUnknown*>(stranger.get()))), E_INVALIDARG);
}
