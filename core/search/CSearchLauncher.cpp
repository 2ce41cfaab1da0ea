#include "core/search/CSearchLauncher.h"

#include "components/common/libutil/TextEncoders.h"
#include "platform/base/Bstr.h"
#include "platform/base/DebugLog.h"
#include "platform/base/Time.h"
#include "platform/com/Com.h"
#include "platform/sync/MessageQueue.h"

namespace {

constexpr ULONG items_per_search = 50;

void drop_request(const MSG& message)
{
    delete reinterpret_cast<SearchRequest*>(message.wParam);
}

}

CSearchLauncher::CSearchLauncher(DWORD logic_thread_id) : m_logic_thread(logic_thread_id) {}

CSearchLauncher::~CSearchLauncher()
{
    std::list<Search> searches;
    {
        std::scoped_lock hold(m_lock);
        m_closing = true;
        for (const auto& s : m_searches)
            if (s.thread_id != 0 && !s.finished)
                CoCancelCall(s.thread_id, 0);
        searches.swap(m_searches);
    }
    for (auto& s : searches)
        s.thread.join();
}

void CSearchLauncher::StartSearch(const std::u16string& keyword, const std::string& site_name)
{
    reap_finished();
    auto request = std::make_unique<SearchRequest>();
    request->launcher = this;
    std::string utf8;
    LibUtil::WideToUtf8(keyword.c_str(), utf8);
    LibUtil::UrlEncode(utf8, request->keyword);
    request->site_name = site_name;
    std::scoped_lock hold(m_lock);
    Search& slot = m_searches.emplace_back();
    slot.thread = std::thread(
        [this, slot = &slot, request = std::move(request)]() mutable noexcept { search(slot, std::move(request)); });
}

void CSearchLauncher::reap_finished()
{
    std::list<Search> done;
    {
        std::scoped_lock hold(m_lock);
        for (auto it = m_searches.begin(); it != m_searches.end();) {
            auto next = std::next(it);
            if (it->finished)
                done.splice(done.end(), m_searches, it);
            it = next;
        }
    }
    for (auto& s : done)
        s.thread.join();
}

// slot stays where it is until this thread is joined: the list only moves whole nodes.
void CSearchLauncher::search(Search* slot, std::unique_ptr<SearchRequest> request) noexcept
{
    const HRESULT com = CoInitialize(nullptr);
    CoEnableCallCancellation(nullptr);
    {
        std::scoped_lock hold(m_lock);
        slot->thread_id = GetCurrentThreadId();
        // The launcher is going away already: the search fails at once.
        if (m_closing)
            CoCancelCall(slot->thread_id, 0);
    }
    try {
        if (!SearchRSS(request->keyword, request->site_name, request->items, &request->channel)) {
            request->items.clear();
            request->channel.reset();
        }
    } catch (const std::exception& e) {
        plat::debug_log(std::string("search: ") + e.what());
        request->items.clear();
        request->channel.reset();
    }
    // A logic thread that has ended refuses at once; the drop then frees the request.
    if (!plat::post_thread_message(m_logic_thread, WM_USER + ResultCommand,
                                   reinterpret_cast<WPARAM>(request.release()), 0, &drop_request))
        plat::debug_log("search: the logic thread has ended; result dropped");
    CoDisableCallCancellation(nullptr);
    if (SUCCEEDED(com))
        CoUninitialize();
    std::scoped_lock hold(m_lock);
    slot->finished = true;
}

bool CSearchLauncher::SearchRSS(const std::string& keyword, const std::string& site_name,
                                std::list<RSSData::tRSSItem>& items, plat::ComPtr<IRSSChannel>* channel)
{
    plat::ComPtr<IRSSParser> parser;
    if (FAILED(CoCreateInstance(CLSID_RSSParser, nullptr, CLSCTX_ALL, IRSSParser::iid, parser.put_void())))
        return false;
    const plat::Bstr word = plat::Bstr::from_utf8(keyword), site = plat::Bstr::from_utf8(site_name);
    plat::ComPtr<IRSSChannel> result;
    if (FAILED(parser->RSSSearch(word.get(), site.get(), items_per_search, result.put())) || !result)
        return false;
    if (channel)
        *channel = result;
    LONG count = 0;
    result->GetRSSItemSize(&count);
    const auto now = static_cast<std::int64_t>(plat::filetime_now());
    for (LONG index = 0; index < count; ++index) {
        plat::ComPtr<IRSSItem> parsed;
        RSSData::tRSSItem item;
        auto record = SUCCEEDED(result->GetRSSItem(index, parsed.put())) ? parsed.as<IRSSItemRecord>()
                                                                         : plat::ComPtr<IRSSItemRecord>();
        if (!record || FAILED(record->GetRecord(&item)))
            continue;
        item.id = 0;
        item.type = 3;
        item.mark_delete = false;
        item.set_status(0);
        item.reference_id = 0;
        item.channel_id = -1;
        item.folder_id = -1;
        item.original_media_url = !item.media_content_url.empty() ? item.media_content_url : item.link;
        item.modify_time = item.create_time = now;
        items.push_back(std::move(item));
    }
    return true;
}
