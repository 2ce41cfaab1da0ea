#include "outside/quelm/script/QuelmEngine.h"

#include "engines/wemble/PlayTaskInfo.h"
#include "outside/quelm/script/MediaSource.h"
#include "platform/base/DebugLog.h"
#include "platform/base/Utf.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace quelm {

QuelmEngine::QuelmEngine() : m_delivery([this](std::stop_token stop) { deliver(stop); }) {}

QuelmEngine::~QuelmEngine()
{
    stop_command_thread();
    close();
    m_delivery.request_stop();
    m_delivery.join();
}

void QuelmEngine::emit(LONG code, INT_PTR value, INT_PTR extra, std::shared_ptr<const DownloadTaskInfo> keep)
{
    {
        std::scoped_lock hold(m_event_lock);
        m_events.push_back({code, value, extra, std::move(keep)});
    }
    m_event_ready.notify_one();
}

void QuelmEngine::deliver(std::stop_token stop)
{
    std::unique_lock hold(m_event_lock);
    for (;;) {
        if (!m_event_ready.wait(hold, stop, [&] { return !m_events.empty(); }))
            return;
        Event event = std::move(m_events.front());
        m_events.pop_front();
        hold.unlock();
        Notify(this, event.code, event.value, event.extra);
        hold.lock();
    }
}

LONG QuelmEngine::SendCommand(LONG code, void* data, LONG* length, DWORD flags)
{
    LONG result = CBaseControl::SendCommand(code, data, length, flags);
    return result != 0 ? result : Execute(code, data, length, flags);
}

LONG QuelmEngine::Execute(LONG code, void* data, LONG*, DWORD)
{
    switch (code) {
    case CMD_GET_VERSION:
        write_version(data);
        return 1;
    case CMD_CLOSE:
        close();
        return 1;
    case CMD_RUN: {
        std::scoped_lock hold(m_lock);
        if (m_state != Paused && m_state != Stopped)
            return 1;
        m_state = Running;
        m_buffering_pause = false;
    }
        m_wake.notify_all();
        emit(EVT_RUNNING);
        return 1;
    case CMD_PAUSE:
        pause(data && *static_cast<const LONG*>(data) == 1);
        return 1;
    case CMD_STOP: {
        // Every stop is answered, even with nothing open: the play controller
        // stops the engine for an item whose download failed before it played,
        // and its listeners learn from this that nothing plays.
        std::scoped_lock hold(m_lock);
        if (m_state != Idle) {
            m_state = Stopped;
            m_position = 0;
        }
    }
        emit(EVT_STOPPED);
        return 1;
    case CMD_SEEK:
        if (data)
            seek(*static_cast<const LONG*>(data));
        return 1;
    case CMD_SET_VOLUME:
        if (data) {
            std::scoped_lock hold(m_lock);
            m_volume = std::clamp(*static_cast<const LONG*>(data), 0, 100);
        }
        return 1;
    case CMD_GET_VOLUME:
    case CMD_GET_PLAY_STATE:
        if (data) {
            std::scoped_lock hold(m_lock);
            *static_cast<LONG*>(data) = code == CMD_GET_VOLUME ? m_volume : m_state;
        }
        return 1;
    case CMD_MUTE:
        if (data) {
            std::scoped_lock hold(m_lock);
            m_muted = *static_cast<const BYTE*>(data) != 0;
        }
        return 1;
    case CMD_GET_MEDIA_KIND:
        if (data)
            *static_cast<LONG*>(data) = 0;
        return 1;
    case CMD_SAMPLE_READER:
        if (data)
            *static_cast<void**>(data) = nullptr;
        return 1;
    case CMD_PLAY_NOW:
        return play(data);
    case CMD_SET_ITEM_STORE: {
        std::scoped_lock hold(m_lock);
        m_store = static_cast<IOstrelItemStore*>(data);
        return 1;
    }
    default:
        return 1;
    }
}

LONG QuelmEngine::play(const void* data)
{
    if (!data)
        return -1;
    const auto& task = *static_cast<const PlayTaskInfo*>(data);
    bool opened = false;
    {
        std::scoped_lock control(m_control);
        if (m_ticker.joinable()) {
            m_ticker.request_stop();
            m_ticker.join();
        }
        IOstrelItemStore* store = nullptr;
        {
            std::scoped_lock hold(m_lock);
            store = m_store;
        }
        auto record = std::make_shared<DownloadTaskInfo>();
        std::copy(task.id, task.id + 4, record->id);
        record->key = task.url;
        bool from_download = !task.is_local_file();
        if (from_download)
            m_source = store ? open_download(store, task.id) : nullptr;
        else
            m_source = open_file(plat::utf16_to_utf8(task.local_path));
        opened = m_source != nullptr;
        {
            std::scoped_lock hold(m_lock);
            m_item_record = std::move(record);
            m_from_download = from_download;
            m_state = opened ? Running : Stopped;
            m_buffering_pause = m_waiting = m_have_header = false;
            m_position = m_duration = 0;
        }
        emit(opened ? EVT_START_PLAYING : EVT_GRAPH_FAILED);
        if (opened)
            m_ticker = std::jthread([this](std::stop_token stop) { tick(stop); });
    }
    return opened ? 1 : -1;
}

void QuelmEngine::close()
{
    std::scoped_lock control(m_control);
    if (m_ticker.joinable()) {
        m_ticker.request_stop();
        m_ticker.join();
    }
    m_source.reset();
    std::scoped_lock hold(m_lock);
    m_state = Idle;
}

void QuelmEngine::pause(bool buffering)
{
    {
        std::scoped_lock hold(m_lock);
        if (m_state != Running)
            return;
        m_state = Paused;
        m_buffering_pause = buffering;
    }
    emit(EVT_PAUSED);
}

void QuelmEngine::seek(LONG seconds)
{
    LONGLONG byte = 0;
    std::shared_ptr<const DownloadTaskInfo> record;
    {
        std::scoped_lock hold(m_lock);
        if (m_state == Idle)
            return;
        m_position = std::clamp<LONG>(seconds, 0, std::max<LONG>(m_duration, 0));
        byte = m_position * m_rate;
        if (m_from_download)
            record = m_item_record;
    }
    // The event carries the record and keeps it alive until it is delivered.
    if (record)
        emit(EVT_MOVE_DOWNLOAD, reinterpret_cast<INT_PTR>(record.get()), static_cast<INT_PTR>(byte), record);
}

void QuelmEngine::tick(std::stop_token stop)
{
    for (;;) {
        LONG wait_ms = 0;
        {
            std::unique_lock hold(m_lock);
            wait_ms = m_tick_ms;
            m_wake.wait_for(hold, stop, std::chrono::milliseconds(wait_ms),
                            [&] { return false; });
            if (stop.stop_requested())
                return;
            bool active = m_state == Running || (m_state == Paused && m_buffering_pause);
            if (!active)
                continue;
        }
        if (!step())
            return;
    }
}

bool QuelmEngine::step()
{
    bool have_header = false;
    LONGLONG need = 0;
    {
        std::scoped_lock hold(m_lock);
        have_header = m_have_header;
        // A buffering pause waits for two seconds ahead; playing for the next one.
        LONG ahead = m_buffering_pause ? 2 : 1;
        need = (m_position + ahead) * m_rate;
    }
    char head[64] = {};
    LONG got = 0;
    LONG result = OSTREL_OK;
    if (!have_header) {
        result = m_source->read(0, head, sizeof head - 1, &got);
    } else {
        LONGLONG total = m_source->total();
        char byte;
        result = m_source->read(std::min(need, total) - 1, &byte, 1, &got);
    }
    if (result == OSTREL_NOT_ARRIVED) {
        note_waiting();
        return true;
    }
    if (result != OSTREL_OK) {
        fail();
        return false;
    }
    note_arrived();
    return have_header ? advance() : read_header(head);
}

// The bytes the next step needs are missing: 8193 once, until they come.
void QuelmEngine::note_waiting()
{
    bool first = false;
    {
        std::scoped_lock hold(m_lock);
        first = !std::exchange(m_waiting, true);
    }
    if (first)
        emit(EVT_BUFFERING);
}

void QuelmEngine::note_arrived()
{
    bool arrived = false;
    {
        std::scoped_lock hold(m_lock);
        arrived = std::exchange(m_waiting, false);
    }
    if (arrived)
        emit(EVT_DATA_ARRIVED);
}

void QuelmEngine::fail()
{
    {
        std::scoped_lock hold(m_lock);
        m_state = Stopped;
    }
    emit(EVT_GRAPH_FAILED);
}

// The script line "QUELM <bytes a second> <ms a second>" starts the item.
bool QuelmEngine::read_header(const char* head)
{
    long long rate = 0;
    int tick_ms = 0;
    LONGLONG total = m_source->total();
    if (std::sscanf(head, "QUELM %lld %d\n", &rate, &tick_ms) != 2 || rate <= 0 || tick_ms <= 0 || total <= 0) {
        plat::debug_log("quelm: not a scripted item");
        fail();
        return false;
    }
    LONG duration = static_cast<LONG>((total + rate - 1) / rate);
    {
        std::scoped_lock hold(m_lock);
        m_rate = rate;
        m_tick_ms = tick_ms;
        m_duration = duration;
        m_have_header = true;
    }
    emit(EVT_DURATION, duration);
    emit(EVT_RUNNING);
    return true;
}

// One media second further, or the end of a buffering pause.
bool QuelmEngine::advance()
{
    LONG position = 0;
    bool resumed = false;
    bool complete = false;
    {
        std::scoped_lock hold(m_lock);
        if (m_state == Paused && m_buffering_pause) {
            m_state = Running;
            m_buffering_pause = false;
            resumed = true;
        } else {
            position = ++m_position;
            complete = m_position >= m_duration;
            if (complete)
                m_state = Stopped;
        }
    }
    if (resumed) {
        emit(EVT_DATA_ARRIVED);
        emit(EVT_RUNNING);
        return true;
    }
    emit(EVT_POSITION, position);
    if (complete) {
        emit(EVT_COMPLETE);
        emit(EVT_END_PLAYING);
        return false;
    }
    return true;
}

}

namespace quelm {

IBaseControl* create_scripted_engine()
{
    try {
        return new quelm::QuelmEngine();
    } catch (const std::exception& e) {
        plat::debug_log(std::string("quelm: cannot start: ") + e.what());
        return nullptr;
    }
}

void release_scripted_engine(IBaseControl* engine)
{
    delete static_cast<quelm::QuelmEngine*>(engine);
}

}
