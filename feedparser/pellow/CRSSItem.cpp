#include "feedparser/pellow/CRSSItem.h"

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
    if (!rssItem)
        return E_FAIL;
    plat::ComPtr<IRSSItemRecord> target;
    if (FAILED(rssItem->QueryInterface(IID_IRSSItemRecord, target.put_void())))
        return E_INVALIDARG;
    return target->PutRecord(&m_value);
}

HRESULT CRSSItem::GetRecord(RSSData::tRSSItem* record) noexcept
try {
    if (!record)
        return E_POINTER;
    *record = m_value;
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT CRSSItem::PutRecord(const RSSData::tRSSItem* record) noexcept
try {
    if (!record)
        return E_POINTER;
    if (record != &m_value)
        m_value = *record;
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}
