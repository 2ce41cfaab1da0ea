#pragma once
// Helpers of the play controller tests: scripted media, a listener that keeps
// what it hears, and a download manager double whose store serves given bytes.

#include "components/common/controlengine/IBaseControl.h"
#include "engines/wemble/PlayTaskInfo.h"
#include "outside/ostrel/IOstrel.h"
#include "outside/ostrel/tests/TestServer.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace play_test {

// Media the scripted engine plays: one second every tick_ms once its bytes are there.
inline std::string scripted_media(int seconds, int rate, int tick_ms, std::uint32_t seed)
{
    std::string head = "QUELM " + std::to_string(rate) + " " + std::to_string(tick_ms) + "\n";
    std::string body = ostrel_test::make_bytes(static_cast<std::size_t>(seconds) * rate, seed);
    return body.replace(0, head.size(), head);
}

inline PlayTaskInfo url_task(const std::string& url, DWORD id0 = 0)
{
    PlayTaskInfo t;
    t.url = url;
    t.title = "title of " + url;
    t.quality = 1;
    t.id[0] = id0;
    return t;
}

struct Heard {
    LONG code;
    INT_PTR value;
    INT_PTR extra;
    std::string key;   // the download record's key, for download events
};

class Listener : public IBaseEventHandler {
public:
    LONG OnEvent(void* sender, LONG code, INT_PTR value, INT_PTR extra) override
    {
        Heard h{code, value, extra, {}};
        bool download = code == EVT_DOWNLOAD_STATE || code == EVT_DOWNLOAD_PROGRESS || code == EVT_PLAY_PROGRESS;
        if (download && sender)
            h.key = static_cast<const DownloadTaskInfo*>(sender)->key;
        {
            std::scoped_lock hold(m_lock);
            m_heard.push_back(std::move(h));
        }
        m_changed.notify_all();
        return 0;
    }
    bool wait_count(const std::function<bool(const Heard&)>& match, std::size_t count)
    {
        std::unique_lock hold(m_lock);
        return m_changed.wait_for(hold, std::chrono::seconds(60), [&] {
            return static_cast<std::size_t>(std::count_if(m_heard.begin(), m_heard.end(), match)) >= count;
        });
    }
    bool wait_code(LONG code, std::size_t count = 1)
    {
        return wait_count([&](const Heard& h) { return h.code == code; }, count);
    }
    std::vector<Heard> heard()
    {
        std::scoped_lock hold(m_lock);
        return m_heard;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<Heard> m_heard;   // guarded by m_lock
};

// A download manager whose store holds items by binding id and which records
// what the controller asks of it.
class FakeOstrel : public IOstrel, public IOstrelItemStore {
public:
    using Id = std::array<DWORD, 4>;

    void put(const Id& id, std::string content, LONGLONG present)
    {
        std::scoped_lock hold(m_lock);
        m_items[id] = {std::move(content), present};
    }
    void refuse(const std::string& key)
    {
        std::scoped_lock hold(m_lock);
        m_refused.insert(key);
    }
    // Called on every lookup, before it is answered (set before the controller runs).
    void on_lookup(std::function<void(const Id&, const std::string&)> hook) { m_hook = std::move(hook); }
    std::vector<std::pair<std::string, LONG>> added()
    {
        std::scoped_lock hold(m_lock);
        return m_added;
    }
    std::vector<std::pair<Id, std::string>> lookups()
    {
        std::scoped_lock hold(m_lock);
        return m_lookups;
    }
    bool wait_added(std::size_t count)
    {
        std::unique_lock hold(m_lock);
        return m_changed.wait_for(hold, std::chrono::seconds(60), [&] { return m_added.size() >= count; });
    }
    bool wait_lookup(const Id& id, const std::string& user)
    {
        std::unique_lock hold(m_lock);
        return m_changed.wait_for(hold, std::chrono::seconds(60), [&] {
            return std::find(m_lookups.begin(), m_lookups.end(), std::pair{id, user}) != m_lookups.end();
        });
    }
    // Reports a task's download state to the listener, as the real one would.
    void report(const std::string& key, const Id& id, LONG state)
    {
        DownloadTaskInfo record;
        record.key = key;
        std::copy(id.begin(), id.end(), record.id);
        IBaseEventHandler* listener = nullptr;
        {
            std::scoped_lock hold(m_lock);
            listener = m_listener;
        }
        if (listener)
            listener->OnEvent(&record, EVT_DOWNLOAD_STATE, state, 0);
    }

    BOOL Init(const char*, LONG) override { return TRUE; }
    void SetMultiSource(BOOL) override {}
    void SetOnline(BOOL) override {}
    LONG GetActiveCount() override { return 0; }
    void AddListener(IBaseEventHandler* listener) override
    {
        std::scoped_lock hold(m_lock);
        m_listener = listener;
    }
    void RemoveListener(IBaseEventHandler*) override
    {
        std::scoped_lock hold(m_lock);
        m_listener = nullptr;
    }
    LONG AddTask(const DownloadTaskInfo* task, LONG kind) override
    {
        std::scoped_lock hold(m_lock);
        if (m_refused.count(task->key))
            return 0;
        m_added.emplace_back(task->key, kind);
        m_changed.notify_all();
        return 1;
    }
    LONG RemoveTask(const DownloadTaskInfo*, const char*) override { return 1; }
    LONG StopTransfer(const DownloadTaskInfo*, LONG) override { return 1; }
    LONG MoveTransfer(const DownloadTaskInfo*, LONG, LONGLONG) override { return 1; }
    IOstrelItemStore* GetItemStore() override { return this; }
    LONG Start(LONG, const char*, LONG) override { return 1; }
    LONG Pause(const char*) override { return 1; }
    LONG Resume(const char*) override { return 1; }

    IOstrelItem* Lookup(const DWORD id[4], const char* user) override
    {
        Id key{id[0], id[1], id[2], id[3]};
        if (m_hook)
            m_hook(key, user);
        std::scoped_lock hold(m_lock);
        m_lookups.emplace_back(key, user);
        m_changed.notify_all();
        auto found = m_items.find(key);
        return found == m_items.end() ? nullptr : new Item(found->second);
    }

private:
    struct Stored {
        std::string content;
        LONGLONG present;   // bytes from the start that have arrived
    };
    class Item final : public IOstrelItem {
    public:
        explicit Item(Stored s) : m_s(std::move(s)) {}
        void Release(const char*) override { delete this; }
        LONG SegmentState(LONGLONG index) override
        {
            LONGLONG end = std::min<LONGLONG>((index + 1) * OSTREL_SEGMENT_SIZE, TotalSize());
            return index >= 0 && end <= m_s.present && index * OSTREL_SEGMENT_SIZE < end ? OSTREL_OK
                                                                                         : OSTREL_NOT_ARRIVED;
        }
        LONGLONG TotalSize() override { return static_cast<LONGLONG>(m_s.content.size()); }
        LONGLONG Downloaded() override { return m_s.present; }
        LONG Read(LONGLONG offset, void* buffer, LONG size, LONG* read) override
        {
            *read = 0;
            if (offset >= TotalSize())
                return OSTREL_END_OF_CONTENT;
            if (offset >= m_s.present)
                return OSTREL_NOT_ARRIVED;
            auto n = static_cast<std::size_t>(std::min<LONGLONG>(size, m_s.present - offset));
            std::memcpy(buffer, m_s.content.data() + offset, n);
            *read = static_cast<LONG>(n);
            return OSTREL_OK;
        }

    private:
        Stored m_s;
    };

    std::mutex m_lock;
    std::condition_variable m_changed;
    std::map<Id, Stored> m_items;                             // guarded by m_lock
    std::set<std::string> m_refused;                          // guarded by m_lock
    std::vector<std::pair<std::string, LONG>> m_added;        // guarded by m_lock
    std::vector<std::pair<Id, std::string>> m_lookups;        // guarded by m_lock
    IBaseEventHandler* m_listener = nullptr;                  // guarded by m_lock
    std::function<void(const Id&, const std::string&)> m_hook;   // set before use, then only read
};

}
