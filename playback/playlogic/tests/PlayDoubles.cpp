#include "PlayDoubles.h"

#include "platform/base/Utf.h"
#include "platform/sync/Mutex.h"
#include "toolkit/widgets/CMutexGuard.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <future>

namespace playtest {

RecordingControl* ControlPool::next = nullptr;
int ControlPool::created = 0;
int ControlPool::released = 0;

IBaseControl* ControlPool::create()
{
    RecordingControl* c = next;
    next = nullptr;
    if (c) ++created;
    return c;
}

void ControlPool::release(IBaseControl*)
{
    ++released;
}

RecordingControl::~RecordingControl()
{
    if (m_opener.joinable()) m_opener.join();
}

void RecordingControl::tell_start()
{
    if (!opens_late_as) {
        if (IBaseEventHandler* l = m_listener) l->OnEvent(this, EVT_START_PLAYING, 0, 0);
        return;
    }
    if (m_opener.joinable()) m_opener.join();
    m_opener = std::thread([this, kind = *opens_late_as] {
        // The engine opening the file on its own thread, as the real one does.
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        media_kind = kind;
        if (IBaseEventHandler* l = m_listener) l->OnEvent(this, EVT_START_PLAYING, 0, 0);
    });
}

std::vector<LONG> RecordingControl::codes() const
{
    std::vector<LONG> out;
    for (const Command& c : commands) out.push_back(c.code);
    return out;
}

LONG RecordingControl::SendCommand(LONG code, void* data, LONG*, DWORD)
{
    Command c{code};
    switch (code) {
    case CMD_GET_VERSION: {
        const LONG pair[2] = {version, 0};
        std::memcpy(data, pair, sizeof pair);
        break;
    }
    case CMD_GET_MEDIA_KIND: *static_cast<LONG*>(data) = media_kind; break;
    case CMD_GET_VOLUME: *static_cast<LONG*>(data) = volume; break;
    case CMD_SAMPLE_READER:
        if (reader) reader->AddRef();   // counted for the caller, as the engine does
        *static_cast<ISampleReader**>(data) = reader;
        break;
    case CMD_SET_VOLUME:
    case CMD_SEEK: c.value = *static_cast<LONG*>(data); break;
    case CMD_PLAY_NOW: c.task = *static_cast<PlayTaskInfo*>(data); break;
    case CMD_ADD_LISTENER:
        m_listener = static_cast<IBaseEventHandler*>(data);
        c.pointer = data;
        break;
    case CMD_REMOVE_LISTENER:
        // As the real controller: a listener's removal waits for a call made to it.
        if (m_opener.joinable()) m_opener.join();
        if (m_listener == data) m_listener = nullptr;
        c.pointer = data;
        break;
    case CMD_SET_DOWNLOADER: c.pointer = data; break;
    default: break;
    }
    commands.push_back(c);
    if (code == CMD_PLAY_LIST) tell_start();
    const auto r = results.find(code);
    return r == results.end() ? 1 : r->second;
}

bool RecordingHost::saw(const std::string& call) const
{
    std::scoped_lock hold(m_lock);
    return std::find(calls.begin(), calls.end(), call) != calls.end();
}

void RecordingHost::SetVideoSize(int width, int height, float ratio)
{
    char text[64];
    std::snprintf(text, sizeof text, "size %dx%d %.4f", width, height, double(ratio));
    record(text, false);
}

void RecordingHost::SetTitle(const std::u16string& title)
{
    record("title " + plat::utf16_to_utf8(title), true);
}

void RecordingHost::SetDownloadBar(LONGLONG p, LONGLONG l, LONGLONG t)
{
    record("bar " + std::to_string(p) + "," + std::to_string(l) + "," + std::to_string(t), true);
}

void RecordingHost::SetSampleReader(ISampleReader* reader)
{
    visualised = reader;
    record(reader ? "reader" : "no reader", true);
}

void RecordingHost::record(const std::string& call, bool screen)
{
    if (screen) {
        // Another thread can take the lock only when the caller does not hold it.
        const bool held = std::async(std::launch::async, [] {
                              plat::Mutex& m = UIRenderMutex();
                              if (m.wait(0) != WAIT_OBJECT_0) return true;
                              m.release();
                              return false;
                          }).get();
        if (!held) {
            std::scoped_lock hold(m_lock);
            unguarded.push_back(call);
        }
    }
    std::scoped_lock hold(m_lock);
    calls.push_back(call);
}

}
