// The text codec reads descriptions stored by earlier runs and other
// programs: every mode decodes or fails cleanly, and whatever encodes
// decodes back to itself.

#include "components/common/libutil/ByteBuffer.h"
#include "components/common/libutil/ZLibEncryptHelper.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const int mode = data[0] % 4;
    const LibUtil::ByteBuffer input(data + 1, size - 1);
    LibUtil::ZLibEncryptHelper codec;
    LibUtil::ByteBuffer decoded;
    codec.Decode(input, decoded, mode);
    LibUtil::ByteBuffer encoded, again;
    if (codec.Encode(input, encoded, mode) && (!codec.Decode(encoded, again, mode) || again.View() != input.View()))
        std::abort();
    return 0;
}
