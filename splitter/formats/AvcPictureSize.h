#pragma once
// The picture size an H.264 sequence parameter set announces, after cropping.

#include <cstdint>
#include <optional>
#include <span>

struct AvcPictureSize {
    int width;
    int height;
};

// The set as stored in a decoder configuration (NAL header byte first, with
// emulation-prevention bytes); nothing when it is malformed or cut short.
std::optional<AvcPictureSize> ReadAvcPictureSize(std::span<const std::uint8_t> sps);
