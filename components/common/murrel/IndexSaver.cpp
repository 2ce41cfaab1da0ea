#include "IndexSaver.h"

#include "components/common/murrel/DiskSegmentCache.h"
#include "platform/base/DebugLog.h"

tIndexSaver::tIndexSaver(std::string info_path, tDiskSegmentCache& disk)
    : m_info_path(std::move(info_path)), m_disk(disk), m_thread([this](std::stop_token stop) { run(stop); })
{
}

tIndexSaver::~tIndexSaver()
{
    Stop();
}

void tIndexSaver::Save(const tCacheInfoHeader& header, std::vector<LONG> table)
{
    {
        std::scoped_lock hold(m_lock);
        m_pending = Index{header, std::move(table)};
    }
    m_changed.notify_all();
}

void tIndexSaver::Drain()
{
    std::unique_lock hold(m_lock);
    m_changed.wait(hold, [this] { return !m_pending && !m_busy; });
}

void tIndexSaver::Stop()
{
    if (!m_thread.joinable()) return;
    Drain();
    m_thread.request_stop();
    m_thread.join();
}

bool tIndexSaver::TakeFailure()
{
    std::scoped_lock hold(m_lock);
    return std::exchange(m_failed, false);
}

// The index may point only at bytes that are on the disk.
bool tIndexSaver::write(const Index& index)
{
    if (!m_disk.Flush()) {
        plat::debug_log("murrel: the data file could not be made durable; the index is not saved");
        return false;
    }
    return SaveInfoFile(m_info_path, index.header, index.table) == RESULT_OK;
}

void tIndexSaver::run(std::stop_token stop)
{
    std::unique_lock hold(m_lock);
    for (;;) {
        m_changed.wait(hold, stop, [this] { return m_pending.has_value(); });
        if (!m_pending) return;   // stopped with nothing left to write
        Index index = std::move(*m_pending);
        m_pending.reset();
        m_busy = true;
        hold.unlock();
        const bool saved = write(index);
        hold.lock();
        m_busy = false;
        if (!saved) m_failed = true;
        m_changed.notify_all();
    }
}
