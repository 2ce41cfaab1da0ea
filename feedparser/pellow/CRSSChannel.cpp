#include "feedparser/pellow/CRSSChannel.h"

#include <new>

std::span<const plat::DispatchEntry<CRSSChannel>> CRSSChannel::dispatch_table()
{
    DISPID next = 0;   // braced initialisers run in order: ids follow the list
#define PELLOW_CHANNEL_ENTRY(name)                                                                                   \
    plat::dispatch_property<&CRSSChannel::get_##name, &CRSSChannel::put_##name>(u"" #name, ++next),
    static const plat::DispatchEntry<CRSSChannel> table[] = {
        PELLOW_CHANNEL_PROPERTIES(PELLOW_CHANNEL_ENTRY)
        plat::dispatch_method<&CRSSChannel::AddRSSItem>(u"AddRSSItem", 28),
        plat::dispatch_method<&CRSSChannel::GetRSSItemSize>(u"GetRSSItemSize", 29),
        plat::dispatch_method<&CRSSChannel::GetRSSItem>(u"GetRSSItem", 30),
        plat::dispatch_method<&CRSSChannel::CopyValue>(u"CopyValue", 31),
    };
#undef PELLOW_CHANNEL_ENTRY
    return table;
}

HRESULT CRSSChannel::AddRSSItem(IRSSItem* rssItem) noexcept
try {
    if (!rssItem)
        return E_POINTER;
    plat::ComPtr<IRSSItemRecord> own;
    if (FAILED(rssItem->QueryInterface(IID_IRSSItemRecord, own.put_void())))
        return E_INVALIDARG;
    m_items.emplace_back(rssItem);
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT CRSSChannel::GetRSSItemSize(LONG* size) noexcept
{
    if (!size)
        return E_POINTER;
    *size = static_cast<LONG>(m_items.size());
    return S_OK;
}

HRESULT CRSSChannel::GetRSSItem(LONG index, IRSSItem** rssItem) noexcept
{
    if (!rssItem)
        return E_POINTER;
    *rssItem = nullptr;
    if (index >= 0 && static_cast<std::size_t>(index) < m_items.size())
        *rssItem = plat::ComPtr<IRSSItem>(m_items[static_cast<std::size_t>(index)]).detach();
    return S_OK;
}

HRESULT CRSSChannel::CopyValue(IRSSChannel* RSSChannel) noexcept
{
    if (!RSSChannel)
        return E_FAIL;
    plat::ComPtr<IRSSChannelRecord> target;
    if (FAILED(RSSChannel->QueryInterface(IID_IRSSChannelRecord, target.put_void())))
        return E_INVALIDARG;
    return target->PutRecord(&m_value);
}

HRESULT CRSSChannel::GetRecord(RSSData::tRSSChannel* record) noexcept
try {
    if (!record)
        return E_POINTER;
    *record = m_value;
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT CRSSChannel::PutRecord(const RSSData::tRSSChannel* record) noexcept
try {
    if (!record)
        return E_POINTER;
    if (record != &m_value)
        m_value = *record;
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}
