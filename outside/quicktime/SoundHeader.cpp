#include "outside/quicktime/SoundHeader.h"

#include "outside/quicktime/Handles.h"

#include <cstring>

namespace qt {
namespace {

void put_be(char* at, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i) at[i] = static_cast<char>(value >> (8 * (bytes - 1 - i)));
}

std::uint32_t get_be(const char* at, int bytes)
{
    std::uint32_t value = 0;
    for (int i = 0; i < bytes; ++i) value = value << 8 | static_cast<unsigned char>(at[i]);
    return value;
}

}

OSErr put_sound(Handle handle, const SoundComponentData& format, std::span<const char> samples)
{
    const long size = sound_header_size + static_cast<long>(samples.size());
    if (OSErr err = SetHandleSize(handle, size)) return err;
    char* at = *handle;
    put_be(at, format.format, 4);
    put_be(at + 4, static_cast<std::uint16_t>(format.numChannels), 2);
    put_be(at + 6, static_cast<std::uint16_t>(format.sampleSize), 2);
    put_be(at + 8, format.sampleRate, 4);
    put_be(at + 12, static_cast<std::uint32_t>(format.sampleCount), 4);
    put_be(at + 16, sound_header_size, 4);
    if (!samples.empty()) std::memcpy(at + sound_header_size, samples.data(), samples.size());
    return noErr;
}

OSErr ParseSndHeader(Handle handle, SoundComponentData* format, unsigned long* frames, unsigned long* data_offset)
{
    const long size = GetHandleSize(handle);
    if (handle == nullptr || size < sound_header_size) return badFormat;
    const char* at = *handle;
    const std::uint32_t offset = get_be(at + 16, 4);
    if (offset < sound_header_size || offset > static_cast<std::uint32_t>(size)) return badFormat;
    *format = {};
    format->format = get_be(at, 4);
    format->numChannels = static_cast<std::int16_t>(get_be(at + 4, 2));
    format->sampleSize = static_cast<std::int16_t>(get_be(at + 6, 2));
    format->sampleRate = get_be(at + 8, 4);
    format->sampleCount = static_cast<long>(get_be(at + 12, 4));
    *frames = get_be(at + 12, 4);
    *data_offset = offset;
    return noErr;
}

}
