#include "ComposeFakes.h"

#include <utility>

void CallLog::add(std::string entry)
{
    std::scoped_lock hold(m_lock);
    m_entries.push_back(std::move(entry));
}

std::vector<std::string> CallLog::take()
{
    std::scoped_lock hold(m_lock);
    return std::exchange(m_entries, {});
}

std::int64_t SteppedClock::counter()
{
    std::scoped_lock hold(m_lock);
    return m_now;
}

void SteppedClock::sleep(DWORD milliseconds)
{
    std::unique_lock hold(m_lock);
    m_sleeps.push_back(milliseconds);
    m_now += (milliseconds + std::exchange(m_overrun, 0)) * 1000;
    m_changed.notify_all();
    m_changed.wait(hold, [this] { return m_open || m_frames_allowed > 0; });
    if (!m_open) --m_frames_allowed;
}

void SteppedClock::advance_ms(std::int64_t milliseconds)
{
    std::scoped_lock hold(m_lock);
    m_now += milliseconds * 1000;
}

void SteppedClock::overrun_next_sleep_ms(std::int64_t milliseconds)
{
    std::scoped_lock hold(m_lock);
    m_overrun = milliseconds;
}

void SteppedClock::wait_for_sleeps(std::size_t count)
{
    std::unique_lock hold(m_lock);
    m_changed.wait(hold, [&] { return m_sleeps.size() >= count; });
}

void SteppedClock::step()
{
    std::size_t target;
    {
        std::scoped_lock hold(m_lock);
        target = m_sleeps.size() + 1;
        ++m_frames_allowed;
        m_changed.notify_all();
    }
    wait_for_sleeps(target);
}

void SteppedClock::open()
{
    std::scoped_lock hold(m_lock);
    m_open = true;
    m_changed.notify_all();
}

std::vector<DWORD> SteppedClock::sleeps()
{
    std::scoped_lock hold(m_lock);
    return m_sleeps;
}

void RecordingRender::script_begin(std::deque<int> results)
{
    std::scoped_lock hold(m_lock);
    m_begin_results = std::move(results);
}

int RecordingRender::BeginFrame()
{
    int result = 0;
    {
        std::scoped_lock hold(m_lock);
        if (!m_begin_results.empty()) {
            result = m_begin_results.front();
            m_begin_results.pop_front();
        }
    }
    m_log.add("begin");
    return result;
}

int RecordingRender::EndFrame()
{
    m_log.add("end");
    return 0;
}

RecordingLayer::RecordingLayer(std::string name, CallLog& log, SteppedClock* clock, LayerSetup setup)
    : m_name(std::move(name)), m_log(log), m_clock(clock), m_setup(setup)
{
}

long RecordingLayer::Render()
{
    m_log.add(m_name + ".draw");
    return 0;
}

long RecordingLayer::OnDeviceEvent(DWORD code, intptr_t, intptr_t)
{
    m_log.add(m_name + (code == 0x10002 ? ".presented" : code == 0x10003 ? ".reset-device" : ".event"));
    return 0;
}

bool RecordingLayer::WantsEvent(DWORD code) { return code == 0x10002 && m_setup.wants_frame_notice; }

bool RecordingLayer::NeedsRedraw()
{
    m_log.add(m_name + ".update");
    if (m_clock) m_clock->advance_ms(m_setup.work_ms);
    return m_setup.changed;
}

long RecordingLayer::LayerReserved1()
{
    m_log.add(m_name + ".reset");
    return 0;
}

LRESULT RecordingLayer::OnMessage(UINT, WPARAM, LPARAM)
{
    m_log.add(m_name + ".input");
    return m_setup.consumes_input ? 1 : 0;
}
