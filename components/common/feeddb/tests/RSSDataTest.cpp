#include "components/common/feeddb/CMemberValueHelper.h"
#include "components/common/feeddb/RSSData.h"

#include <gtest/gtest.h>

namespace {

// The shape of a COM feed object: the record lives in the helper base.
class ItemObject : public CMemberValueHelper<RSSData::tRSSItem> {
public:
    HRESULT get_title(BSTR* out) const { return GetMember(&RSSData::tRSSItem::title, out); }
    HRESULT put_title(BSTR value) { return PutMember(&RSSData::tRSSItem::title, value); }
    const RSSData::tRSSItem& record() const { return m_value; }
};

}

TEST(RSSData, NewRecordsHaveTheirKindAndDefaults)
{
    const RSSData::tRSSChannel channel;
    EXPECT_EQ(channel.id, 0);
    EXPECT_EQ(channel.type, 2);
    EXPECT_EQ(channel.folder_id(), 0);
    EXPECT_EQ(channel.item_capability, 200);
    EXPECT_TRUE(channel.can_auto_update);
    EXPECT_TRUE(channel.is_predefine);
    EXPECT_FALSE(channel.can_prefetch || channel.disabled || channel.mark_delete);
    EXPECT_TRUE(channel.feed_url.empty() && channel.title.empty() && channel.skipDays.empty());

    const RSSData::tRSSItem item;
    EXPECT_EQ(item.type, 3);
    EXPECT_EQ(item.status(), 0);
    EXPECT_EQ(item.channel_id, 0);
    EXPECT_EQ(item.create_time, 0);
    EXPECT_FALSE(item.mark_delete || item.mark_read || item.mark_favorite || item.can_prefetch);
    EXPECT_TRUE(item.title.empty() && item.media_restriction_type.empty());
}

TEST(RSSData, AssignmentCopiesEveryField)
{
    RSSData::tRSSItem parsed;
    parsed.id = 9;
    parsed.set_status(1280);
    parsed.channel_id = 4;
    parsed.display_description = "d";
    parsed.mark_favorite = true;
    parsed.title = "t";
    parsed.media_restriction_type = "country";
    RSSData::tRSSItem stored;
    stored = parsed;
    EXPECT_EQ(stored.id, 9);
    EXPECT_EQ(stored.status(), 1280);
    EXPECT_EQ(stored.channel_id, 4);
    EXPECT_EQ(stored.display_description, "d");
    EXPECT_TRUE(stored.mark_favorite);
    EXPECT_EQ(stored.title, "t");
    EXPECT_EQ(stored.media_restriction_type, "country");
}

TEST(CMemberValueHelper, TextCrossesTheBoundaryUnchanged)
{
    const struct {
        std::u16string wide;
        std::string utf8;
    } cases[] = {
        {u"\u00e9", "\xC3\xA9"},
        {u"", ""},
        {u"plain", "plain"},
        {u"\u4e2d\u6587", "\xE4\xB8\xAD\xE6\x96\x87"},
        {u"\U0001F600", "\xF0\x9F\x98\x80"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.utf8);
        ItemObject item;
        plat::Bstr in(c.wide);
        ASSERT_EQ(item.put_title(in.get()), S_OK);
        EXPECT_EQ(item.record().title, c.utf8);
        plat::Bstr out;
        ASSERT_EQ(item.get_title(out.out()), S_OK);
        ASSERT_NE(out.get(), nullptr);   // an empty text is an empty BSTR, not a null one
        EXPECT_EQ(std::u16string(out.view()), c.wide);
    }
}

TEST(CMemberValueHelper, NullArgumentsAreHandled)
{
    ItemObject item;
    EXPECT_EQ(item.get_title(nullptr), E_POINTER);
    ASSERT_EQ(item.put_title(nullptr), S_OK);
    EXPECT_EQ(item.record().title, "");
}
