#include "NullP2PCore.h"

#include "downloader/zephrol/OwnedObjects.h"

// An item without peers: it never starts, so it never has segments to deliver.
class tNullP2PItem : public tBaseObject<ICorvaDownloadItem, ISegmentSlave, IP2PItemInit, IP2PSwitch> {
public:
    tNullP2PItem() : tBaseObject("tNullP2PItem")
    {
        RegisterInterface(ID_IBaseInterface, static_cast<ICorvaDownloadItem*>(this));
        RegisterInterface(ID_ICorvaDownloadItem, static_cast<ICorvaDownloadItem*>(this));
        RegisterInterface(ID_ISegmentSlave, static_cast<ISegmentSlave*>(this));
        RegisterInterface(ID_IP2PItemInit, static_cast<IP2PItemInit*>(this));
        RegisterInterface(ID_IP2PSwitch, static_cast<IP2PSwitch*>(this));
    }

    BaseResult Start() noexcept override { return RESULT_FAIL; }
    BaseResult Stop() noexcept override { return RESULT_OK; }
    BaseResult Pause() noexcept override { return RESULT_FAIL; }
    BaseResult Seek(DWORD) noexcept override { return RESULT_FAIL; }
    BaseResult SetRate(DWORD) noexcept override { return RESULT_OK; }
    BaseResult GetProgress(DWORD* downloaded, DWORD* percent) noexcept override
    {
        if (downloaded != nullptr) *downloaded = 0;
        if (percent != nullptr) *percent = 0;
        return RESULT_OK;
    }
    BaseResult GetTotalSize(DWORD* total) noexcept override
    {
        if (total != nullptr) *total = 0;
        return RESULT_OK;
    }
    BaseResult GetState(DWORD* state) noexcept override
    {
        if (state != nullptr) *state = 0;
        return RESULT_OK;
    }
    BaseResult GetSpeed(DWORD* speed) noexcept override
    {
        if (speed != nullptr) *speed = 0;
        return RESULT_OK;
    }
    BaseResult SetEventHandler(ICorvaEventHandler*, std::intptr_t) noexcept override { return RESULT_OK; }

    BaseResult SetSegmentMode(bool) noexcept override { return RESULT_OK; }
    BaseResult SetSegmentSize(DWORD) noexcept override { return RESULT_OK; }
    BaseResult AssignSegments(const tSegmentRecord*, DWORD) noexcept override { return RESULT_FAIL; }
    BaseResult SetMaster(ISegmentMaster*) noexcept override { return RESULT_OK; }
    BaseResult ClearSegments() noexcept override { return RESULT_OK; }

    BaseResult Init() noexcept override { return RESULT_OK; }
    BaseResult SetParam(BYTE, IDataCacheItem*, const tContentKey&) noexcept override { return RESULT_OK; }
    BaseResult Uninit() noexcept override { return RESULT_OK; }
    BaseResult Switch(int) noexcept override { return RESULT_OK; }
};

tNullP2PCore::tNullP2PCore() : tBaseObject("tNullP2PCore")
{
    RegisterInterface(ID_IBaseInterface, static_cast<IDownloadCore*>(this));
    RegisterInterface(ID_IDownloadCore, static_cast<IDownloadCore*>(this));
    RegisterInterface(ID_IP2PSettings, static_cast<IP2PSettings*>(this));
}

tNullP2PCore::~tNullP2PCore() = default;

BaseResult tNullP2PCore::CreateDownloadItem(ICorvaDownloadItem** out, const char* user) noexcept
{
    return guarded_call([&] {
        if (out == nullptr) return RESULT_FAIL;
        auto [item, iface] = make_for_user<tNullP2PItem, ICorvaDownloadItem>(ID_ICorvaDownloadItem, user);
        if (!item) return RESULT_FAIL;
        std::scoped_lock hold(m_lock);
        m_items.push_back(std::move(item));
        *out = iface;
        return RESULT_OK;
    });
}

BaseResult tNullP2PCore::DeleteDownloadItem(ICorvaDownloadItem* item) noexcept
{
    std::scoped_lock hold(m_lock);
    return take_owned(m_items, item) ? RESULT_OK : RESULT_UNKNOWN_ITEM;
}
