#pragma once
// A feed item: every property a string kept in UTF-8 in its record.

#include "components/common/feeddb/CMemberValueHelper.h"
#include "feedparser/pellow/PellowLib.h"
#include "platform/automation/DispatchTable.h"
#include "platform/com/ComObject.h"

class CRSSItem final : public plat::ComObject<plat::DispatchImpl<IRSSItem, CRSSItem>, IRSSItemRecord>,
                       public CMemberValueHelper<RSSData::tRSSItem> {
public:
    static std::span<const plat::DispatchEntry<CRSSItem>> dispatch_table();

#define PELLOW_ITEM_MEMBER(name)                                                                                     \
    HRESULT get_##name(BSTR* value) noexcept override { return GetMember(&RSSData::tRSSItem::name, value); }       \
    HRESULT put_##name(BSTR value) noexcept override { return PutMember(&RSSData::tRSSItem::name, value); }
    PELLOW_ITEM_PROPERTIES(PELLOW_ITEM_MEMBER)
#undef PELLOW_ITEM_MEMBER

    // E_FAIL for null; E_INVALIDARG for an object that is not one of Pellow's items.
    HRESULT CopyValue(IRSSItem* rssItem) noexcept override;

    HRESULT GetRecord(RSSData::tRSSItem* record) noexcept override;
    HRESULT PutRecord(const RSSData::tRSSItem* record) noexcept override;
};
