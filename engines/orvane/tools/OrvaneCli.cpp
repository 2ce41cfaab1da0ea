// orvane_cli IN OUT: transcodes IN into OUT through the transcode engine's
// exports and prints every event it reports. The filters must be registered
// (scripts/run does it, as the installer would). Exit status 0 on 4103.

#include "engines/orvane/Orvane.h"
#include "platform/base/Utf.h"
#include "platform/sync/Event.h"

#include <atomic>
#include <cstdio>
#include <string>

namespace {

const char* event_name(LONG code)
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

class Printer final : public IBaseEventHandler {
public:
    LONG OnEvent(void*, LONG code, INT_PTR value, INT_PTR extra) override
    {
        if (code == EVT_VIDEO_SIZE)
            std::printf("%ld %s %ldx%ld\n", static_cast<long>(code), event_name(code), static_cast<long>(value & 0xFFFF),
                        static_cast<long>(value >> 16 & 0xFFFF));
        else
            std::printf("%ld %s %ld %ld\n", static_cast<long>(code), event_name(code), static_cast<long>(value),
                        static_cast<long>(extra));
        std::fflush(stdout);
        if (code == EVT_COMPLETE || code == EVT_GRAPH_FAILED) {
            m_result = code;
            m_done.set();
        }
        return 0;
    }

    LONG wait()
    {
        m_done.wait();
        return m_result;
    }

private:
    std::atomic<LONG> m_result{0};
    plat::Event m_done{plat::EventReset::Manual, plat::EventState::Clear};
};

}

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: orvane_cli IN OUT\n");
        return 2;
    }
    IBaseControl* engine = CreateOrvaneInstance();
    if (engine == nullptr) return 1;
    Printer printer;
    engine->SendCommand(CMD_ADD_LISTENER, static_cast<IBaseEventHandler*>(&printer), nullptr, 0);
    std::u16string in = plat::utf8_to_utf16(argv[1]);
    std::u16string out = plat::utf8_to_utf16(argv[2]);
    engine->SendCommand(CMD_SOURCE, in.data(), nullptr, 0);
    engine->SendCommand(CMD_OUTPUT, out.data(), nullptr, 0);
    LONG result = -1;
    if (engine->SendCommand(CMD_RUN, nullptr, nullptr, 0) == 1) result = printer.wait();
    else std::fprintf(stderr, "orvane_cli: no graph reads %s\n", argv[1]);
    engine->SendCommand(CMD_CLOSE, nullptr, nullptr, 0);
    engine->SendCommand(CMD_REMOVE_LISTENER, static_cast<IBaseEventHandler*>(&printer), nullptr, 0);
    ReleaseOrvaneInstance(engine);
    return result == EVT_COMPLETE ? 0 : 1;
}
