#pragma once
// The text codec's interface. Modes: 0 zlib with the two header bytes
// replaced by key bytes, 1 plain copy, 2 mode 0 then Base64, 3 Base64 alone.
// Any other mode fails.

#include <memory>

namespace LibUtil {

class ByteBuffer;

class EncryptHelper {
public:
    // On failure the output is left as it was.
    virtual bool Encode(const ByteBuffer& input, ByteBuffer& output, int mode) noexcept = 0;
    virtual bool Decode(const ByteBuffer& input, ByteBuffer& output, int mode) noexcept = 0;
    virtual ~EncryptHelper() = default;
};

// A new ZLibEncryptHelper with fresh key bytes.
std::unique_ptr<EncryptHelper> CreateEncryptHelper();

}
