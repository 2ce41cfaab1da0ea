#pragma once
// A feed channel: string properties in its record, and its items in the
// order they were added, each holding one reference.

#include "components/common/feeddb/CMemberValueHelper.h"
#include "feedparser/pellow/PellowLib.h"
#include "platform/automation/DispatchTable.h"
#include "platform/com/ComObject.h"
#include "platform/com/ComPtr.h"

#include <vector>

class CRSSChannel final : public plat::ComObject<plat::DispatchImpl<IRSSChannel, CRSSChannel>, IRSSChannelRecord>,
                          public CMemberValueHelper<RSSData::tRSSChannel> {
public:
    static std::span<const plat::DispatchEntry<CRSSChannel>> dispatch_table();

#define PELLOW_CHANNEL_MEMBER(name)                                                                                  \
    HRESULT get_##name(BSTR* value) noexcept override { return GetMember(&RSSData::tRSSChannel::name, value); }    \
    HRESULT put_##name(BSTR value) noexcept override { return PutMember(&RSSData::tRSSChannel::name, value); }
    PELLOW_CHANNEL_PROPERTIES(PELLOW_CHANNEL_MEMBER)
#undef PELLOW_CHANNEL_MEMBER

    // E_POINTER for null; E_INVALIDARG for an object that is not one of Pellow's items.
    HRESULT AddRSSItem(IRSSItem* rssItem) noexcept override;
    HRESULT GetRSSItemSize(LONG* size) noexcept override;
    // An index outside the list gives a null item and S_OK.
    HRESULT GetRSSItem(LONG index, IRSSItem** rssItem) noexcept override;
    // E_FAIL for null; E_INVALIDARG for an object that is not one of Pellow's channels.
    HRESULT CopyValue(IRSSChannel* RSSChannel) noexcept override;

    HRESULT GetRecord(RSSData::tRSSChannel* record) noexcept override;
    HRESULT PutRecord(const RSSData::tRSSChannel* record) noexcept override;

private:
    std::vector<plat::ComPtr<IRSSItem>> m_items;
};
