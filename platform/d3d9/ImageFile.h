#pragma once
// PNG and JPEG files (and fetched bytes) to and from premultiplied D3DCOLOR
// pixels: the one picture loader of the program.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace plat {

enum class ImageFileKind { Png, Jpeg };

struct DecodedImage {
    ImageFileKind kind;
    int width{0};
    int height{0};
    std::vector<std::uint32_t> pixels;   // premultiplied, row after row
};

// Reads the whole picture; on failure says why in `error`.
bool decode_image_file(const std::string& path, DecodedImage& image, std::string& error);
// Reads only the size and kind.
bool read_image_header(const std::string& path, DecodedImage& image, std::string& error);
// The same from bytes in memory (a picture fetched from the web).
bool decode_image_bytes(std::span<const std::byte> bytes, DecodedImage& image, std::string& error);
bool read_image_bytes_header(std::span<const std::byte> bytes, DecodedImage& image, std::string& error);
// Writes straight (unpremultiplied) colour; JPEG drops alpha.
bool encode_image_file(const std::string& path, ImageFileKind kind, const std::uint32_t* pixels, int width,
                       int height, int pitch, std::string& error);

}
