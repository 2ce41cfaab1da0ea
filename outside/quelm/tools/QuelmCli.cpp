// quelm_cli CLIP: plays CLIP with sound through the video engine's exports and
// prints every event it reports. The filters must be registered (scripts/run
// does it, as the installer would). Exit status 0 once the clip played to its end.

#include "engines/mediagraph/tools/EventPrinter.h"
#include "engines/wemble/PlayTaskInfo.h"
#include "outside/quelm/Quelm.h"
#include "platform/base/Utf.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: quelm_cli CLIP\n");
        return 2;
    }
    IBaseControl* engine = CreateQuelmInstance();
    if (engine == nullptr) return 1;
    EventPrinter printer;
    engine->SendCommand(CMD_ADD_LISTENER, static_cast<IBaseEventHandler*>(&printer), nullptr, 0);
    PlayTaskInfo task;
    task.local_path = plat::utf8_to_utf16(argv[1]);
    LONG result = -1;
    if (engine->SendCommand(CMD_PLAY_NOW, &task, nullptr, 0) == 1) result = printer.wait();
    else std::fprintf(stderr, "quelm_cli: no graph plays %s\n", argv[1]);
    engine->SendCommand(CMD_CLOSE, nullptr, nullptr, 0);
    engine->SendCommand(CMD_REMOVE_LISTENER, static_cast<IBaseEventHandler*>(&printer), nullptr, 0);
    ReleaseQuelmInstance(engine);
    return result == EVT_COMPLETE ? 0 : 1;
}
