#include "feedparser/pellow/CRSSItem.h"

#include "feedparser/pellow/RecordCopy.h"

#include "platform/com/ComPtr.h"

#include <new>

std::span<const plat::DispatchEntry<CRSSItem>> CRSSItem::dispatch_table()
{
    DISPID next = 0;   // braced initialisers run in order: ids follow the list
#define PELLOW_ITEM_ENTRY(name) plat::dispatch_property<&CRSSItem::get_##name, &CRSSItem::put_##name>(u"" #name, ++next),
    static const plat::DispatchEntry<CRSSItem> table[] = {
        PELLOW_ITEM_PROPERTIES(PELLOW_ITEM_ENTRY)
        plat::dispatch_method<&CRSSItem::CopyValue>(u"CopyValue", 65),
    };
#undef PELLOW_ITEM_ENTRY
    return table;
}

HRESULT CRSSItem::CopyValue(IRSSItem* rssItem) noexcept
{
    return pellow::copy_into<IRSSItemRecord>(rssItem, m_value);
}

HRESULT CRSSItem::GetRecord(RSSData::tRSSItem* record) noexcept
{
    return pellow::copy_record(&m_value, record);
}

HRESULT CRSSItem::PutRecord(const RSSData::tRSSItem* record) noexcept
{
    return pellow::copy_record(record, &m_value);
}
