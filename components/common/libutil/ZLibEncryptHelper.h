#pragma once
// The codec over zlib and Base64. Each user keeps its own instance: the key
// bytes change with every mode 0 or mode 2 encode.

#include "components/common/libutil/EncryptHelper.h"
#include "platform/base/Types.h"

namespace LibUtil {

class ZLibEncryptHelper final : public EncryptHelper {
public:
    ZLibEncryptHelper();

    bool Encode(const ByteBuffer& input, ByteBuffer& output, int mode) noexcept override;
    bool Decode(const ByteBuffer& input, ByteBuffer& output, int mode) noexcept override;

private:
    bool encode_zlib(const ByteBuffer& input, ByteBuffer& output);

    BYTE m_key[2];   // written over the zlib header of the next mode 0 output
};

}
