#include "HTTPDownloader.h"

#include "DownloadExceptions.h"
#include "HTTPDownloadItem.h"

#include <curl/curl.h>

#include <algorithm>

tHTTPDownloader::tHTTPDownloader() : tBaseObject("tHTTPDownloader")
{
    RegisterInterface(ID_IBaseInterface, static_cast<IDownloadCore*>(this));
    RegisterInterface(ID_IDownloadCore, static_cast<IDownloadCore*>(this));
    curl_global_init(0);
}

tHTTPDownloader::~tHTTPDownloader()
{
    std::deque<std::unique_ptr<tHTTPDownloadItem>> items;
    {
        std::scoped_lock hold(m_lock);
        items.swap(m_items);
    }
    items.clear();   // each item stops and joins its threads
    curl_global_cleanup();
}

BaseResult tHTTPDownloader::CreateDownloadItem(ICorvaDownloadItem** out, const char* user) noexcept
{
    return guarded_call([&] {
        if (out == nullptr) return RESULT_FAIL;
        try {
            auto item = std::make_unique<tHTTPDownloadItem>();
            void* iface = nullptr;
            if (item->QueryInterface(ID_ICorvaDownloadItem, &iface, user) != RESULT_OK)
                throw HTTPException(HTTP_ERROR_CREATE, 0);
            std::scoped_lock hold(m_lock);
            m_items.push_back(std::move(item));
            *out = static_cast<ICorvaDownloadItem*>(iface);
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
        const auto it = std::find_if(m_items.begin(), m_items.end(), [item](const auto& p) {
            return static_cast<ICorvaDownloadItem*>(p.get()) == item;
        });
        if (it == m_items.end()) return RESULT_UNKNOWN_ITEM;
        doomed = std::move(*it);
        m_items.erase(it);
    }
    return RESULT_OK;   // `doomed` stops and joins its threads outside the core's lock
}

IDownloadCore* CreateHTTPDownloader() noexcept
{
    try {
        auto core = std::make_unique<tHTTPDownloader>();
        void* iface = nullptr;
        if (core->QueryInterface(ID_IDownloadCore, &iface, "tZephrol") != RESULT_OK) return nullptr;
        core.release();
        return static_cast<IDownloadCore*>(iface);
    } catch (...) {
        return nullptr;
    }
}

void DeleteHTTPDownloader(IDownloadCore* core) noexcept
{
    delete static_cast<tHTTPDownloader*>(core);
}
