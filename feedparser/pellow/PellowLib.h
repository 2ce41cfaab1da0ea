#pragma once
// The feed parser's classes and dual interfaces (type library PellowLib), and
// the record interfaces through which a caller in the same process reads or
// fills the record behind one of Pellow's feed objects.

#include "components/common/feeddb/RSSData.h"
#include "platform/automation/Dispatch.h"

inline constexpr GUID LIBID_PellowLib = plat::make_guid("{3F3564FE-2D2D-4D8E-93B8-248900B63380}");
inline constexpr CLSID CLSID_RSSParser = plat::make_guid("{5EDC807C-A5CB-4B4E-998D-A6F1242DF930}");
inline constexpr CLSID CLSID_RSSChannel = plat::make_guid("{86F0366B-CF42-46CF-A581-8D2343F7F0E9}");
inline constexpr CLSID CLSID_rssItem = plat::make_guid("{C852F83B-7799-47E8-8D00-1A6011F06B23}");
inline constexpr IID IID_IRSSParser = plat::make_guid("{4CA7DD14-CEF1-4164-BDA0-A3F1BD6C42B0}");
inline constexpr IID IID_IRSSChannel = plat::make_guid("{28921DCE-D475-410B-BC8E-73C53364CE18}");
inline constexpr IID IID_IRSSItem = plat::make_guid("{67ED5866-F0FD-443A-A933-A081EBBF9271}");
inline constexpr IID IID_IRSSItemRecord = plat::make_guid("{9E0B1C55-4A7D-4F3B-8C21-6D5E0F2A7B90}");
inline constexpr IID IID_IRSSChannelRecord = plat::make_guid("{9E0B1C56-4A7D-4F3B-8C21-6D5E0F2A7B90}");

// The item's properties in dispatch order (ids 1 to 64).
#define PELLOW_ITEM_PROPERTIES(X)                                                                                    \
    X(title) X(link) X(description) X(author) X(source) X(source_url) X(category) X(category_domain) X(comments)    \
    X(enclosure_url) X(enclosure_length) X(enclosure_type) X(pubDate) X(guid) X(guid_isPermaLink)                  \
    X(media_content_url) X(media_content_fileSize) X(media_content_type) X(media_content_medium)                   \
    X(media_content_isDefault) X(media_content_expression) X(media_content_bitrate) X(media_content_framerate)     \
    X(media_content_samplingrate) X(media_content_channels) X(media_content_duration) X(media_content_height)      \
    X(media_content_width) X(media_content_lang) X(media_adult) X(media_rating) X(media_rating_scheme)             \
    X(media_title) X(media_title_type) X(media_description) X(media_description_type) X(media_keywords)            \
    X(media_thumbnail_url) X(media_thumbnail_width) X(media_thumbnail_height) X(media_thumbnail_time)              \
    X(media_category) X(media_category_scheme) X(media_category_label) X(media_hash) X(media_hash_algo)            \
    X(media_player) X(media_player_width) X(media_player_height) X(media_credit) X(media_credit_role)               \
    X(media_credit_schema) X(media_copyright) X(media_copyright_url) X(media_text) X(media_text_type)              \
    X(media_text_lang) X(media_text_start) X(media_text_end) X(media_restriction)                                  \
    X(media_restriction_relationship) X(media_restriction_type) X(display_description) X(original_description)

// The channel's properties in dispatch order (ids 1 to 27).
#define PELLOW_CHANNEL_PROPERTIES(X)                                                                                 \
    X(title) X(link) X(description) X(language) X(copyright) X(managingEditor) X(webMaster) X(pubDate)             \
    X(lastBuildDate) X(category) X(category_domain) X(generator) X(docs) X(cloud) X(ttl) X(image_title)            \
    X(image_link) X(image_url) X(image_width) X(image_height) X(rating) X(textInput_name) X(textInput_title)       \
    X(textInput_description) X(textInput_link) X(skipHours) X(skipDays)

#define PELLOW_DECLARE_PROPERTY(name)                                                                                \
    virtual HRESULT get_##name(BSTR* value) = 0;                                                                     \
    virtual HRESULT put_##name(BSTR value) = 0;

struct IRSSItem : IDispatch {
    static constexpr const IID& iid = IID_IRSSItem;
    using base = IDispatch;
    PELLOW_ITEM_PROPERTIES(PELLOW_DECLARE_PROPERTY)
    // Copies this item's record into the record of rssItem, which must be one of Pellow's items.
    virtual HRESULT CopyValue(IRSSItem* rssItem) = 0;

protected:
    ~IRSSItem() = default;
};

struct IRSSChannel : IDispatch {
    static constexpr const IID& iid = IID_IRSSChannel;
    using base = IDispatch;
    PELLOW_CHANNEL_PROPERTIES(PELLOW_DECLARE_PROPERTY)
    virtual HRESULT AddRSSItem(IRSSItem* rssItem) = 0;
    virtual HRESULT GetRSSItemSize(LONG* size) = 0;
    virtual HRESULT GetRSSItem(LONG index, IRSSItem** rssItem) = 0;
    // Copies this channel's record into the record of RSSChannel, which must be one of Pellow's channels.
    virtual HRESULT CopyValue(IRSSChannel* RSSChannel) = 0;

protected:
    ~IRSSChannel() = default;
};

#undef PELLOW_DECLARE_PROPERTY

struct IRSSParser : IDispatch {
    static constexpr const IID& iid = IID_IRSSParser;
    using base = IDispatch;
    virtual HRESULT ParseRSS(BSTR bstrURL, ULONG nCount, IRSSChannel** RSSChannel) = 0;
    virtual HRESULT RSSSearch(BSTR bstrKeyword, BSTR bstrSiteName, ULONG nCount, IRSSChannel** RSSChannel) = 0;
    virtual HRESULT TransformURL(BSTR bstrURL, VARIANT_BOOL selectHD, BSTR* resultURL) = 0;
    virtual HRESULT GetRelatedVideo(BSTR bstrURL, IRSSChannel** RSSChannel) = 0;

protected:
    ~IRSSParser() = default;
};

// Answered only by Pellow's own item objects: the whole record, copied out or in.
// A caller that reads a parsed item into a database record uses GetRecord.
struct IRSSItemRecord : IUnknown {
    static constexpr const IID& iid = IID_IRSSItemRecord;
    virtual HRESULT GetRecord(RSSData::tRSSItem* record) = 0;
    virtual HRESULT PutRecord(const RSSData::tRSSItem* record) = 0;

protected:
    ~IRSSItemRecord() = default;
};

// Answered only by Pellow's own channel objects (the record, not the item list).
struct IRSSChannelRecord : IUnknown {
    static constexpr const IID& iid = IID_IRSSChannelRecord;
    virtual HRESULT GetRecord(RSSData::tRSSChannel* record) = 0;
    virtual HRESULT PutRecord(const RSSData::tRSSChannel* record) = 0;

protected:
    ~IRSSChannelRecord() = default;
};
