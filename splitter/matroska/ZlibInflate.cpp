#include "splitter/matroska/ZlibInflate.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace MatroskaReader {

namespace {

struct InflateEnd {
    void operator()(z_stream* s) const
    {
        inflateEnd(s);
        delete s;
    }
};

}

bool inflate_zlib(std::span<const BYTE> in, std::vector<BYTE>& out, std::size_t ceiling)
{
    auto* raw = new z_stream{};
    if (inflateInit(raw) != Z_OK) {
        delete raw;
        return false;
    }
    std::unique_ptr<z_stream, InflateEnd> stream(raw);
    stream->next_in = const_cast<Bytef*>(in.data());
    stream->avail_in = static_cast<uInt>(in.size());
    // Doubling keeps the copies linear in the output; the start guesses a
    // common ratio. The buffer is left uninitialised: inflate writes it.
    std::size_t capacity = std::min(ceiling, std::max<std::size_t>(in.size() * 4, 4096));
    std::unique_ptr<BYTE[]> buffer(new BYTE[capacity]);
    std::size_t produced = 0;
    for (;;) {
        if (produced == capacity) {
            if (capacity >= ceiling) return false;
            capacity = std::min(ceiling, capacity * 2);
            std::unique_ptr<BYTE[]> larger(new BYTE[capacity]);
            std::memcpy(larger.get(), buffer.get(), produced);
            buffer = std::move(larger);
        }
        stream->next_out = buffer.get() + produced;
        stream->avail_out = static_cast<uInt>(std::min<std::size_t>(capacity - produced, UINT32_MAX));
        const uInt in_before = stream->avail_in;
        const uInt out_before = stream->avail_out;
        const int result = inflate(stream.get(), Z_NO_FLUSH);
        produced += out_before - stream->avail_out;
        if (result == Z_STREAM_END) break;
        if (result != Z_OK && result != Z_BUF_ERROR) return false;
        // A cut stream uses up its input and then makes no more progress.
        if (stream->avail_in == in_before && stream->avail_out == out_before) return false;
    }
    out.assign(buffer.get(), buffer.get() + produced);
    return true;
}

}
