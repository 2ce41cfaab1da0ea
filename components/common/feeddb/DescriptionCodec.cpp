#include "components/common/feeddb/DescriptionCodec.h"

#include "components/common/libutil/ByteBuffer.h"
#include "components/common/libutil/EncryptHelper.h"

namespace feeddb {
namespace {

constexpr int stored_mode = 2;   // zlib with its header replaced, in Base64

std::optional<std::string> run_codec(std::string_view input, bool encode)
{
    const std::unique_ptr<LibUtil::EncryptHelper> codec = LibUtil::CreateEncryptHelper();
    const LibUtil::ByteBuffer in(input, LibUtil::ByteBuffer::Storage::Borrow);
    LibUtil::ByteBuffer out;
    const bool done = encode ? codec->Encode(in, out, stored_mode) : codec->Decode(in, out, stored_mode);
    if (!done)
        return std::nullopt;
    return out.ToString();
}

}

std::optional<std::string> encode_description(std::string_view text) { return run_codec(text, true); }

std::optional<std::string> decode_description(std::string_view stored) { return run_codec(stored, false); }

}
