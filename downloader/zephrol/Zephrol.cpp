#include "Zephrol.h"

#include "DownloadExceptions.h"
#include "HTTPDownloader.h"
#include "OwnedObjects.h"
#include "VessikDownloadItem.h"

#include "components/common/services/TempPath.h"
#include "outside/nimbrel/Nimbrel.h"
#include "platform/base/Utf.h"


namespace {

constexpr const char* core_user = "tZephrol";

}

tZephrol::tZephrol(tP2PCoreFactory p2p) : tBaseObject("tZephrol"), m_p2p_factory(p2p)
{
    RegisterInterface(ID_IBaseInterface, static_cast<IDownloadCore*>(this));
    RegisterInterface(ID_IDownloadCore, static_cast<IDownloadCore*>(this));
    RegisterInterface(ID_IZephrolSet, static_cast<IZephrolSet*>(this));
    m_http_core = CreateHTTPDownloader();
    if (m_p2p_factory.create) m_p2p_core = m_p2p_factory.create(core_user);
}

tZephrol::~tZephrol()
{
    std::deque<std::unique_ptr<tVessikDownloadItem>> items;
    {
        std::scoped_lock hold(m_lock);
        items.swap(m_items);
    }
    items.clear();   // the items go before the cores they use
    if (m_http_core != nullptr) {
        m_http_core->Release(core_user);
        DeleteHTTPDownloader(m_http_core);
    }
    if (m_p2p_core != nullptr) {
        m_p2p_core->Release(core_user);
        if (m_p2p_factory.destroy) m_p2p_factory.destroy(m_p2p_core);
    }
}

BaseResult tZephrol::CreateDownloadItem(ICorvaDownloadItem** out, const char* user) noexcept
{
    return guarded_call([&] {
        if (out == nullptr || m_http_core == nullptr) return RESULT_FAIL;
        std::scoped_lock hold(m_lock);
        try {
            auto [item, iface] = make_for_user<tVessikDownloadItem, ICorvaDownloadItem>(
                ID_ICorvaDownloadItem, user, m_http_core, m_p2p_enabled ? m_p2p_core : nullptr);
            if (!item) throw VessikCreateItemException();
            m_items.push_back(std::move(item));
            *out = iface;
            return RESULT_OK;
        } catch (const VessikCreateItemException&) {
            return RESULT_FAIL;
        }
    });
}

BaseResult tZephrol::DeleteDownloadItem(ICorvaDownloadItem* item) noexcept
{
    std::unique_ptr<tVessikDownloadItem> doomed;
    {
        std::scoped_lock hold(m_lock);
        doomed = take_owned(m_items, item);
    }
    return doomed ? RESULT_OK : RESULT_UNKNOWN_ITEM;   // `doomed` stops its worker and sources outside the lock
}

BaseResult tZephrol::SetParam(const tZephrolSettings* settings) noexcept
{
    return guarded_call([&] {
        std::scoped_lock hold(m_lock);
        if (settings == nullptr || m_p2p_core == nullptr) return RESULT_FAIL;
        IP2PSettings* p2p = nullptr;
        if (m_p2p_core->QueryInterface(ID_IP2PSettings, reinterpret_cast<void**>(&p2p), core_user) != RESULT_OK)
            return RESULT_FAIL;
        tP2PSettings record{};
        record.version = 1;
        record.value1 = settings->value1;
        record.text = settings->text != nullptr ? settings->text : "";
        record.value2 = settings->value2;
        record.mode = 2;
        record.value3 = settings->value3;
        record.value4 = settings->value4;
        record.log_folder = plat::utf8_to_utf16(MakeTempFolder("p2plog"));
        record.logging = 1;
        const BaseResult applied = p2p->ApplySettings(record);
        p2p->Release(core_user);
        return applied == RESULT_FAIL ? RESULT_FAIL : RESULT_OK;
    });
}

BaseResult tZephrol::EnableP2P(bool on) noexcept
{
    return guarded_call([&] {
        std::scoped_lock hold(m_lock);
        if (on == m_p2p_enabled) return RESULT_OK;
        if (m_p2p_core == nullptr) return on ? RESULT_FAIL : RESULT_OK;
        IP2PSettings* p2p = nullptr;
        if (m_p2p_core->QueryInterface(ID_IP2PSettings, reinterpret_cast<void**>(&p2p), "vessik") != RESULT_OK)
            return on ? RESULT_FAIL : RESULT_OK;
        p2p->EnableSharing(on ? 1 : 0);
        if (!on) p2p->SetSharedContent(tP2PContent{}, 1);
        p2p->Release("vessik");
        m_p2p_enabled = on;
        return RESULT_OK;
    });
}
