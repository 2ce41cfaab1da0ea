#pragma once
// The engines' command-line tools print every event an engine reports, one
// line each, and wait for the run's end (complete or failed).

#include "components/common/controlengine/IBaseEventHandler.h"
#include "platform/sync/Event.h"

#include <atomic>
#include <cstdio>

class EventPrinter final : public IBaseEventHandler {
public:
    LONG OnEvent(void*, LONG code, INT_PTR value, INT_PTR extra) override
    {
        if (code == EVT_VIDEO_SIZE)
            std::printf("%ld %s %ldx%ld\n", static_cast<long>(code), name(code), static_cast<long>(value & 0xFFFF),
                        static_cast<long>(value >> 16 & 0xFFFF));
        else
            std::printf("%ld %s %ld %ld\n", static_cast<long>(code), name(code), static_cast<long>(value),
                        static_cast<long>(extra));
        std::fflush(stdout);
        if (code == EVT_COMPLETE || code == EVT_GRAPH_FAILED) {
            m_result = code;
            m_done.set();
        }
        return 0;
    }

    // EVT_COMPLETE or EVT_GRAPH_FAILED.
    LONG wait()
    {
        m_done.wait();
        return m_result;
    }

private:
    static const char* name(LONG code)
    {
        switch (code) {
        case EVT_POSITION: return "position (s)";
        case EVT_RUNNING: return "running";
        case EVT_PAUSED: return "paused";
        case EVT_STOPPED: return "stopped";
        case EVT_COMPLETE: return "complete";
        case EVT_GRAPH_FAILED: return "failed";
        case EVT_DURATION: return "duration (s)";
        case EVT_KEEP_AWAKE: return "keep awake";
        case EVT_VIDEO_SIZE: return "video size";
        default: return "";
        }
    }

    std::atomic<LONG> m_result{0};
    plat::Event m_done{plat::EventReset::Manual, plat::EventState::Clear};
};
