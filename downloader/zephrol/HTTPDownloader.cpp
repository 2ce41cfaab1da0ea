#include "HTTPDownloader.h"

#include "DownloadExceptions.h"
#include "HTTPDownloadItem.h"
#include "OwnedObjects.h"



tHTTPDownloader::tHTTPDownloader() : tBaseObject("tHTTPDownloader")
{
    RegisterInterface(ID_IBaseInterface, static_cast<IDownloadCore*>(this));
    RegisterInterface(ID_IDownloadCore, static_cast<IDownloadCore*>(this));
}

tHTTPDownloader::~tHTTPDownloader()
{
    std::deque<std::unique_ptr<tHTTPDownloadItem>> items;
    {
        std::scoped_lock hold(m_lock);
        items.swap(m_items);
    }
    items.clear();   // each item stops and joins its threads
}

BaseResult tHTTPDownloader::CreateDownloadItem(ICorvaDownloadItem** out, const char* user) noexcept
{
    return guarded_call([&] {
        if (out == nullptr) return RESULT_FAIL;
        try {
            auto [item, iface] = make_for_user<tHTTPDownloadItem, ICorvaDownloadItem>(ID_ICorvaDownloadItem, user);
            if (!item) throw HTTPException(HTTP_ERROR_CREATE, 0);
            std::scoped_lock hold(m_lock);
            m_items.push_back(std::move(item));
            *out = iface;
            return RESULT_OK;
        } catch (const HTTPException&) {
            return RESULT_FAIL;
        }
    });
}

BaseResult tHTTPDownloader::DeleteDownloadItem(ICorvaDownloadItem* item) noexcept
{
    std::unique_ptr<tHTTPDownloadItem> doomed;
    {
        std::scoped_lock hold(m_lock);
        doomed = take_owned(m_items, item);
    }
    return doomed ? RESULT_OK : RESULT_UNKNOWN_ITEM;   // `doomed` stops and joins its threads outside the core's lock
}

IDownloadCore* CreateHTTPDownloader() noexcept
{
    try {
        auto [core, iface] = make_for_user<tHTTPDownloader, IDownloadCore>(ID_IDownloadCore, "tZephrol");
        core.release();   // DeleteHTTPDownloader frees it
        return iface;
    } catch (...) {
        return nullptr;
    }
}

void DeleteHTTPDownloader(IDownloadCore* core) noexcept
{
    delete static_cast<tHTTPDownloader*>(core);
}
