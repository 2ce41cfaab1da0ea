// orvane_cli IN OUT: transcodes IN into OUT through the transcode engine's
// exports and prints every event it reports. The filters must be registered
// (scripts/run does it, as the installer would). Exit status 0 on 4103.

#include "engines/mediagraph/tools/EventPrinter.h"
#include "engines/orvane/Orvane.h"
#include "platform/base/Utf.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: orvane_cli IN OUT\n");
        return 2;
    }
    IBaseControl* engine = CreateOrvaneInstance();
    if (engine == nullptr) return 1;
    EventPrinter printer;
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
