#include "engines/wemble/CPlayControl.h"

#include "engines/wemble/PlayProgress.h"

#include "outside/bind/BindID.h"
#include "platform/base/DebugLog.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr const char* user_name = "Wemble";

enum ItemState { Waiting = 0, Downloading = 1, Ready = 2 };

}

struct CPlayControl::PlayItem {
    explicit PlayItem(const PlayTaskInfo& t) : task(t)
    {
        if (task.is_local_file()) {
            state = Ready;
            ready = true;
        }
    }
    PlayTaskInfo task;
    int state = Waiting;      // guarded by m_lock
    bool ready = false;       // guarded by m_lock: may be played
    bool cancelled = false;   // guarded by m_lock: dropped from the lists
    bool failed = false;      // guarded by m_lock: its download failed
};

CPlayControl::CPlayControl(const Options& options)
    : m_options(options), m_binder(BindID::IBindIDManager::GetBindIDManager())
{
}

CPlayControl::~CPlayControl()
{
    // Every thread that calls the engines or the download manager ends before they go.
    stop_command_thread();
    IOstrel* downloader = nullptr;
    IBaseControl* engine1 = nullptr;
    IBaseControl* engine2 = nullptr;
    {
        std::scoped_lock hold(m_lock);
        downloader = m_downloader;
        engine1 = m_engine1;
        engine2 = m_engine2;
        m_stop = true;
        m_play_state = 0;
    }
    m_changed.notify_all();
    if (downloader && engine1)
        downloader->RemoveListener(this);
    for (auto* engine : {engine1, engine2})
        if (engine)
            engine->SendCommand(CMD_REMOVE_LISTENER, static_cast<IBaseEventHandler*>(this), nullptr, 0);
    if (m_play_thread.joinable())
        m_play_thread.join();
    if (m_download_thread.joinable())
        m_download_thread.join();
    for (auto* engine : {engine1, engine2})
        if (engine)
            m_options.release_engine(engine);
}

LONG CPlayControl::SendCommand(LONG code, void* data, LONG* length, DWORD flags)
{
    return dispatch_command("PlayControl", code, data, length, flags);
}

LONG CPlayControl::Execute(LONG code, void* data, LONG* length, DWORD flags)
{
    IBaseControl* engine1 = nullptr;
    IBaseControl* engine2 = nullptr;
    {
        std::scoped_lock hold(m_lock);
        engine1 = m_engine1;
        engine2 = m_engine2;
    }
    switch (code) {
    case CMD_GET_VERSION:
        write_version(data);
        break;
    case CMD_INIT:
        initialise();
        break;
    case CMD_CLOSE:
    case CMD_SET_VOLUME:
    case CMD_GET_VOLUME:
    case CMD_MUTE:
    case 4111:
        forward(engine1, code, data, length, flags);
        forward(engine2, code, data, length, flags);
        break;
    case CMD_RUN:
    case CMD_PAUSE:
    case CMD_STOP:
    case CMD_SEEK:
    case CMD_SOURCE:
    case CMD_GET_MEDIA_KIND:
    case CMD_SAMPLE_READER:
    case 12292:
        forward(engine1, code, data, length, flags);
        break;
    case CMD_PLAY_LIST: {
        std::scoped_lock hold(m_lock);
        m_play_state = 1;
        if (!m_inserted.empty() && m_inserted.front()->task.start_position == 0 &&
            m_inserted.front()->task.pause_main == 1)
            m_play_state = 2;
        m_play_signal = true;
        m_changed.notify_all();
        break;
    }
    case CMD_PLAY_NOW:
        // A request that was not taken is not done: the caller is told.
        if (data && !play_now(*static_cast<const PlayTaskInfo*>(data)))
            return -1;
        break;
    case CMD_APPEND:
        if (data)
            append(*static_cast<const PlayTaskInfo*>(data));
        break;
    case CMD_SET_DOWNLOADER: {
        std::scoped_lock hold(m_lock);
        m_downloader = static_cast<IOstrel*>(data);
        break;
    }
    default:
        break;
    }
    return 1;
}

void CPlayControl::forward(IBaseControl* engine, LONG code, void* data, LONG* length, DWORD flags)
{
    if (engine)
        engine->SendCommand(code, data, length, flags);
}

void CPlayControl::initialise()
{
    // Held throughout: a second caller waits, then finds the engines made.
    std::scoped_lock once(m_init_lock);
    IOstrel* downloader = nullptr;
    {
        std::scoped_lock hold(m_lock);
        if (m_engine1 || m_engine2)
            return;   // initialised once
        downloader = m_downloader;
    }
    IBaseControl* engine1 = m_options.create_engine ? m_options.create_engine() : nullptr;
    IBaseControl* engine2 = m_options.create_engine ? m_options.create_engine() : nullptr;
    // Engine 2 is heard too, for its completion only: an inserted clip that
    // paused the main item must hand play back when it ends.
    for (auto* engine : {engine1, engine2}) {
        if (!engine)
            continue;
        engine->SendCommand(CMD_ADD_LISTENER, static_cast<IBaseEventHandler*>(this), nullptr, 0);
        engine->SendCommand(CMD_INIT, nullptr, nullptr, 0);
    }
    m_binder->Register("Corvalen", "Strimo");
    if (downloader) {
        downloader->AddListener(this);
        for (auto* engine : {engine1, engine2})
            if (engine)
                engine->SendCommand(CMD_SET_ITEM_STORE, downloader->GetItemStore(), nullptr, 0);
    }
    std::scoped_lock hold(m_lock);
    m_engine1 = engine1;
    m_engine2 = engine2;
    m_stop = false;
    m_play_idle = m_download_idle = true;
    m_play_thread = std::thread(
        [this] { run_passes(&CPlayControl::m_play_signal, &CPlayControl::m_play_idle, &CPlayControl::play_pass); });
    m_download_thread = std::thread([this] {
        run_passes(&CPlayControl::m_download_signal, &CPlayControl::m_download_idle, &CPlayControl::download_pass);
    });
}

bool CPlayControl::play_now(const PlayTaskInfo& task)
{
    if (task.url.empty() && task.local_path.empty()) {
        OutputDebugStringA("PlayControl: URL is invalid!\n");
        return false;
    }
    IBaseControl* engine1 = nullptr;
    {
        std::scoped_lock hold(m_lock);
        engine1 = m_engine1;
    }
    forward(engine1, CMD_CLOSE, nullptr, nullptr, 0);
    PlayTaskInfo copy = task;
    assign_binding_id(copy);
    std::vector<std::shared_ptr<PlayItem>> dropped;
    IOstrel* downloader = nullptr;
    {
        std::unique_lock hold(m_lock);
        // The play thread may be waiting, or about to wait, for an item this
        // request replaces: it gives that wait up while a request is pending.
        ++m_replacing;
        m_changed.notify_all();
        bool idle = m_changed.wait_for(hold, m_options.idle_wait, [&] { return m_play_idle && m_download_idle; });
        --m_replacing;
        if (!idle) {
            plat::debug_log("PlayControl: play now of \"" + copy.title +
                            "\" dropped: the play and download threads stayed busy");
            return false;
        }
        downloader = m_downloader;
        dropped = clear_lists();
        m_duration = 0;
        m_main.push_back(std::make_shared<PlayItem>(copy));
        m_download_signal = true;
    }
    m_changed.notify_all();
    for (const auto& item : dropped)
        if (downloader) {
            DownloadTaskInfo record = download_record(item->task);
            downloader->RemoveTask(&record, nullptr);
        }
    return true;
}

void CPlayControl::append(const PlayTaskInfo& task)
{
    PlayTaskInfo copy = task;
    assign_binding_id(copy);
    {
        std::scoped_lock hold(m_lock);
        auto item = std::make_shared<PlayItem>(copy);
        (copy.pause_main != 0 ? m_inserted : m_main).push_back(std::move(item));
        m_download_signal = true;
    }
    m_changed.notify_all();
}

std::vector<std::shared_ptr<CPlayControl::PlayItem>> CPlayControl::clear_lists()
{
    m_current.reset();
    if (!m_downloader)
        return {};
    m_next = 0;
    std::vector<std::shared_ptr<PlayItem>> dropped;
    for (auto* list : {&m_main, &m_inserted}) {
        for (auto& item : *list) {
            // Someone may still wait for it: wake them, telling them it is gone.
            item->cancelled = true;
            item->ready = true;
            dropped.push_back(std::move(item));
        }
        list->clear();
    }
    return dropped;
}

void CPlayControl::assign_binding_id(PlayTaskInfo& task)
{
    if (task.has_id())
        return;
    std::string key = task.url;
    if (task.quality == 2 || task.quality == 3)
        key += "HD";
    std::string sub_key;
    if (task.numeric_key != 0) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "%x", static_cast<unsigned>(task.numeric_key));
        sub_key = hex;
    } else if (task.second_key != 0) {
        sub_key = "0";
    } else {
        sub_key = task.title;
    }
    BindID::tBindID id = m_binder->GetBindID(key.c_str(), sub_key.c_str());
    // The record keeps the second half first.
    std::memcpy(&task.id[0], &id.second, 8);
    std::memcpy(&task.id[2], &id.first, 8);
}

DownloadTaskInfo CPlayControl::download_record(const PlayTaskInfo& task) const
{
    DownloadTaskInfo record;
    std::copy(task.id, task.id + 4, record.id);
    record.key = task.url;
    record.title = task.title;
    record.value = task.value;
    record.numeric_key = task.numeric_key;
    record.second_key = task.second_key;
    record.mode = 1;
    record.quality = task.quality;
    return record;
}

LONG CPlayControl::OnEvent(void* sender, LONG code, INT_PTR value, INT_PTR extra)
{
    IOstrel* downloader = nullptr;
    IBaseControl* engine2 = nullptr;
    {
        std::scoped_lock hold(m_lock);
        downloader = m_downloader;
        engine2 = m_engine2;
    }
    if (sender && sender == static_cast<void*>(engine2)) {
        if (code == EVT_COMPLETE) {
            std::scoped_lock hold(m_lock);
            m_play_state = 1;
            m_play_signal = true;
            m_changed.notify_all();
        }
        return 0;
    }
    switch (code) {
    case EVT_POSITION:
        on_position(static_cast<LONG>(value));
        break;
    case EVT_COMPLETE: {
        std::scoped_lock hold(m_lock);
        m_play_state = 1;
        m_play_signal = true;
        m_changed.notify_all();
        break;
    }
    case EVT_DURATION: {
        std::scoped_lock hold(m_lock);
        m_duration = static_cast<LONG>(value);
        break;
    }
    case EVT_MOVE_DOWNLOAD:
        if (downloader && value) {
            auto* record = reinterpret_cast<const DownloadTaskInfo*>(value);
            downloader->StopTransfer(record, 0);
            downloader->MoveTransfer(record, 0, static_cast<LONGLONG>(extra));
        }
        return 0;
    case EVT_DOWNLOAD_STATE:
        if (sender)
            on_download_state(*static_cast<const DownloadTaskInfo*>(sender), value);
        break;
    case EVT_DOWNLOAD_PROGRESS:
    case EVT_PLAY_PROGRESS:
        if (sender) {
            const auto& record = *static_cast<const DownloadTaskInfo*>(sender);
            std::scoped_lock hold(m_lock);
            if (m_current && record.key == m_current->task.url) {
                if (code == EVT_DOWNLOAD_PROGRESS)
                    m_bytes_available = static_cast<LONGLONG>(value);
                else
                    m_current_record = record;
            }
        }
        break;
    default:
        break;
    }
    Notify(sender, code, value, extra);
    return 0;
}

void CPlayControl::on_download_state(const DownloadTaskInfo& record, INT_PTR state)
{
    IBaseControl* stop_engine = nullptr;
    {
        std::scoped_lock hold(m_lock);
        if (state == DOWNLOAD_FINISHED) {
            for (auto* list : {&m_main, &m_inserted}) {
                auto it = std::find_if(list->begin(), list->end(), [&](const auto& item) {
                    return std::equal(item->task.id, item->task.id + 4, record.id);
                });
                if (it != list->end()) {
                    (*it)->state = Ready;
                    (*it)->ready = true;
                }
            }
            signal_ready_clip();
        } else if (state == DOWNLOAD_FAILED) {
            if (m_current && record.key == m_current->task.url)
                stop_engine = m_engine1;
            // A failed item is not fetched again in this play list, so it no
            // longer holds up the items behind it.
            for (auto* list : {&m_main, &m_inserted})
                for (auto& item : *list)
                    if (std::equal(item->task.id, item->task.id + 4, record.id))
                        item->failed = true;
        }
        m_download_signal = true;
    }
    m_changed.notify_all();
    forward(stop_engine, CMD_STOP, nullptr, nullptr, 0);
}

void CPlayControl::on_position(LONG position)
{
    LONGLONG total = 0;
    LONGLONG duration = 0;
    LONGLONG available = 0;
    bool start_inserted = false;
    bool estimated = false;
    bool complete = false;
    DownloadTaskInfo record;
    {
        std::scoped_lock hold(m_lock);
        if (!m_inserted.empty() && position == m_inserted_start && m_inserted_start > 0) {
            m_play_state = 2;
            m_play_signal = true;
            start_inserted = true;
        }
        estimated = m_current && !m_current->task.is_local_file();
        // Its download's last progress may have come before it was the item
        // in play, or never (it was on disk): a finished download lacks nothing.
        complete = m_current && m_current->state == Ready;
        total = m_current_record.block.total_size;
        duration = m_duration;
        available = m_bytes_available;
        record = m_current_record;
    }
    // Woken whatever the item is: a local main item has no estimate, but its clip plays all the same.
    if (start_inserted)
        m_changed.notify_all();
    if (!estimated)
        return;
    auto estimate = estimate_play_progress(position, total, static_cast<LONG>(duration), available);
    if (!estimate)
        return;
    Notify(&record, EVT_PLAY_PROGRESS, static_cast<INT_PTR>(estimate->expected), static_cast<INT_PTR>(estimate->length));
    if (estimate->wait_for_data && !complete) {
        Notify(&record, EVT_BUFFERING, 0, 0);
        LONG buffering = 1;
        SendCommand(CMD_PAUSE, &buffering, nullptr, 0);
    }
}

// A worker's loop: a pass each time its signal is given, until the stop flag.
void CPlayControl::run_passes(bool CPlayControl::*signal, bool CPlayControl::*idle,
                              void (CPlayControl::*pass)(std::unique_lock<std::mutex>&))
{
    std::unique_lock hold(m_lock);
    for (;;) {
        m_changed.wait(hold, [&] { return m_stop || this->*signal; });
        if (m_stop)
            return;
        // Taken before the pass, so a signal given during it starts another.
        this->*signal = false;
        this->*idle = false;
        (this->*pass)(hold);
        this->*idle = true;
        m_changed.notify_all();
    }
}

void CPlayControl::play_pass(std::unique_lock<std::mutex>& hold)
{
    IBaseControl* engine1 = m_engine1;
    IBaseControl* engine2 = m_engine2;
    if (m_play_state == 1 && engine1) {
        hold.unlock();
        LONG state = 0;
        engine1->SendCommand(CMD_GET_PLAY_STATE, &state, nullptr, 0);
        if (state == 2)
            engine1->SendCommand(CMD_RUN, nullptr, nullptr, 0);
        hold.lock();
        if (state != 2)
            play_main(hold);
    } else if (m_play_state == 2 && engine2) {
        if (!m_inserted.empty() && m_inserted.front()->ready) {
            auto head = m_inserted.front();
            m_inserted.erase(m_inserted.begin());
            hold.unlock();
            engine2->SendCommand(CMD_CLOSE, nullptr, nullptr, 0);
            engine2->SendCommand(CMD_PLAY_NOW, &head->task, nullptr, 0);
            if (head->task.pause_main == 1 && engine1)
                engine1->SendCommand(CMD_PAUSE, nullptr, nullptr, 0);
            hold.lock();
        }
    }
}

void CPlayControl::play_main(std::unique_lock<std::mutex>& hold)
{
    if (m_next < m_main.size()) {
        auto item = m_main[m_next];
        // Failed while it was not yet current: that failure did not stop the engine.
        const bool failed_before = item->failed;
        m_current = item;
        m_bytes_available = 0;
        IOstrel* downloader = m_downloader;
        IBaseControl* engine1 = m_engine1;
        hold.unlock();
        if (IOstrelItem* download = downloader ? downloader->GetItemStore()->Lookup(item->task.id, user_name) : nullptr) {
            LONGLONG segments = 0;
            while (download->SegmentState(segments) == OSTREL_OK)
                ++segments;
            LONGLONG total = download->TotalSize();
            download->Release(user_name);
            DownloadTaskInfo record = download_record(item->task);
            record.block.total_size = total;
            const LONGLONG present = std::min(segments * OSTREL_SEGMENT_SIZE, total);
            {
                std::scoped_lock relock(m_lock);
                m_current_record = record;
                // What already arrived counts: its progress events may all be
                // past, and a stalled download sends no more.
                m_bytes_available = present;
            }
            Notify(&record, EVT_PLAY_PROGRESS, 0, static_cast<INT_PTR>(present));
        }
        hold.lock();
        bool ready = m_changed.wait_for(hold, m_options.ready_timeout, [&] {
            return m_stop || item->ready || item->cancelled || item->failed || (m_downloader && m_replacing > 0);
        });
        if (m_stop || (m_downloader && m_replacing > 0))
            return;   // a play-now request replaces the list: leave the item to it
        if (item->failed) {
            // Its download failed: it is not played, and the engine stops as
            // for a failure of the item in play.
            ++m_next;
            if (failed_before) {
                hold.unlock();
                forward(engine1, CMD_STOP, nullptr, nullptr, 0);
                hold.lock();
            }
        } else if (!ready) {
            // Abandon it, so that later requests are not held up behind it.
            ++m_next;
            DownloadTaskInfo record = download_record(item->task);
            hold.unlock();
            plat::debug_log("PlayControl: item never became ready: " + item->task.url);
            Notify(&record, EVT_DOWNLOAD_STATE, DOWNLOAD_FAILED, 0);
            hold.lock();
        } else if (!item->cancelled && engine1) {
            ++m_next;
            // Known before the engine starts, so its first positions are compared.
            if (!m_inserted.empty())
                m_inserted_start = m_inserted.front()->task.start_position;
            hold.unlock();
            engine1->SendCommand(CMD_CLOSE, nullptr, nullptr, 0);
            engine1->SendCommand(CMD_PLAY_NOW, &item->task, nullptr, 0);
            hold.lock();
        }
    }
    if (!m_inserted.empty())
        m_inserted_start = m_inserted.front()->task.start_position;
}

void CPlayControl::download_pass(std::unique_lock<std::mutex>& hold)
{
    // One download at a time: main items in order first, then inserted clips.
    for (auto* list : {&m_main, &m_inserted}) {
        Priority priority = list == &m_main ? Priority::Yes : Priority::No;
        auto items = *list;   // the lists may change while the lock is let go
        for (const auto& item : items) {
            if (m_stop)
                return;
            if (item->state == Ready || item->failed || item->cancelled)
                continue;
            if (item->state == Downloading)
                return;
            if (fetch_item(hold, *item, priority))
                return;
        }
    }
}

// Makes a waiting item ready when its file is complete, else starts its
// download. True when a download was started (the pass ends there).
bool CPlayControl::fetch_item(std::unique_lock<std::mutex>& hold, PlayItem& item, Priority priority)
{
    IOstrel* downloader = m_downloader;
    PlayTaskInfo task = item.task;
    hold.unlock();
    bool complete = false;
    if (IOstrelItem* download = downloader ? downloader->GetItemStore()->Lookup(task.id, user_name) : nullptr) {
        LONGLONG total = download->TotalSize();
        complete = total > 0 && download->Downloaded() >= total;
        download->Release(user_name);
    }
    bool started = !complete && start_download(task, priority);
    hold.lock();
    if (item.cancelled)
        return false;
    if (complete || (started && !downloader)) {
        // Nothing to fetch: the engine reads the file or the address itself.
        item.state = Ready;
        item.ready = true;
        signal_ready_clip();
    } else if (started) {
        // Its end may have been reported already, while the lock was let go.
        if (item.state == Waiting)
            item.state = Downloading;
        item.ready = true;
    }
    m_changed.notify_all();
    return started && downloader;
}

// An inserted clip that was not ready when its turn came plays once it is.
void CPlayControl::signal_ready_clip()
{
    if (m_play_state == 2 && !m_inserted.empty() && m_inserted.front()->ready)
        m_play_signal = true;
}

bool CPlayControl::start_download(const PlayTaskInfo& task, Priority priority)
{
    IOstrel* downloader = nullptr;
    {
        std::scoped_lock hold(m_lock);
        downloader = m_downloader;
    }
    if (!downloader)
        return true;
    DownloadTaskInfo record = download_record(task);
    OutputDebugStringA("PlayControl: CPlayControl::DownloadPlayItem");
    OutputDebugStringA(task.title.c_str());
    OutputDebugStringA(task.url.c_str());
    OutputDebugStringA("\n");
    return downloader->AddTask(&record, priority == Priority::Yes ? OSTREL_KIND_PLAY_NOW : OSTREL_KIND_USER_VIDEO) != 0;
}
