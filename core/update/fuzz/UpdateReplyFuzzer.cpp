// The update server's reply travels over plain HTTP: any bytes are parsed as
// data or refused, and a refusal leaves the caller's record as it was.

#include "core/update/UpdateReply.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    UpdateInfo info{"before-v", "before-u", "before-s"};
    const bool parsed = ParseUpdateReply({reinterpret_cast<const char*>(data), size}, info);
    if (!parsed && (info.v != "before-v" || info.u != "before-u" || info.s != "before-s"))
        std::abort();
    return 0;
}
