#include "ImageFile.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>

#include <jpeglib.h>

namespace plat {

namespace {

// No texture can be larger; refusing early keeps a lying header from asking for gigabytes.
constexpr int max_side = 8192;

bool size_allowed(const DecodedImage& image, std::string& error)
{
    if (image.width > 0 && image.height > 0 && image.width <= max_side && image.height <= max_side) return true;
    error = "picture size " + std::to_string(image.width) + "x" + std::to_string(image.height) + " not allowed";
    return false;
}

struct FileClose {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileClose>;

bool sniff(std::FILE* file, ImageFileKind& kind, std::string& error)
{
    unsigned char head[8] = {};
    std::size_t got = std::fread(head, 1, sizeof head, file);
    std::rewind(file);
    static const unsigned char png_magic[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (got == 8 && std::memcmp(head, png_magic, 8) == 0) {
        kind = ImageFileKind::Png;
        return true;
    }
    if (got >= 3 && head[0] == 0xff && head[1] == 0xd8 && head[2] == 0xff) {
        kind = ImageFileKind::Jpeg;
        return true;
    }
    error = "not a PNG or JPEG picture";
    return false;
}

std::uint32_t premultiply(std::uint32_t p)
{
    std::uint32_t a = p >> 24;
    if (a == 255) return p;
    auto m = [a](std::uint32_t c) { std::uint32_t t = c * a + 128; return (t + (t >> 8)) >> 8; };
    return a << 24 | m(p >> 16 & 0xff) << 16 | m(p >> 8 & 0xff) << 8 | m(p & 0xff);
}

std::uint32_t straighten(std::uint32_t p)
{
    std::uint32_t a = p >> 24;
    if (a == 255) return p;
    if (a == 0) return 0;
    auto d = [a](std::uint32_t c) { return std::min<std::uint32_t>(255, (c * 255 + a / 2) / a); };
    return a << 24 | d(p >> 16 & 0xff) << 16 | d(p >> 8 & 0xff) << 8 | d(p & 0xff);
}

struct PngImage {
    png_image image{};
    PngImage() { image.version = PNG_IMAGE_VERSION; }
    ~PngImage() { png_image_free(&image); }
};

bool decode_png(std::FILE* file, DecodedImage& out, bool pixels, std::string& error)
{
    PngImage png;
    if (!png_image_begin_read_from_stdio(&png.image, file)) {
        error = png.image.message;
        return false;
    }
    out.width = int(std::min<png_uint_32>(png.image.width, 0x7fffffff));
    out.height = int(std::min<png_uint_32>(png.image.height, 0x7fffffff));
    if (!size_allowed(out, error)) return false;
    if (!pixels) return true;
    png.image.format = PNG_FORMAT_BGRA;   // D3DCOLOR's byte order
    out.pixels.assign(std::size_t(out.width) * out.height, 0);
    if (!png_image_finish_read(&png.image, nullptr, out.pixels.data(), 0, nullptr)) {
        error = png.image.message;
        out.pixels.clear();
        return false;
    }
    for (auto& p : out.pixels) p = premultiply(p);
    return true;
}

struct JpegError {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void jpeg_fail(j_common_ptr info)
{
    auto* err = reinterpret_cast<JpegError*>(info->err);
    info->err->format_message(info, err->message);
    std::longjmp(err->jump, 1);
}

// libjpeg leaves through longjmp on a fault: nothing with a destructor may live in this frame after setjmp.
bool decode_jpeg(std::FILE* file, DecodedImage& out, bool pixels, std::string& error)
{
    jpeg_decompress_struct info{};
    JpegError err{};
    info.err = jpeg_std_error(&err.manager);
    err.manager.error_exit = jpeg_fail;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&info);
        error = err.message;
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file);
    jpeg_read_header(&info, TRUE);
    out.width = int(info.image_width);
    out.height = int(info.image_height);
    if (!size_allowed(out, error)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    if (pixels) {
        info.out_color_space = JCS_EXT_BGRA;
        jpeg_start_decompress(&info);
        out.pixels.resize(std::size_t(out.width) * out.height);
        while (info.output_scanline < info.output_height) {
            JSAMPROW row = reinterpret_cast<JSAMPROW>(out.pixels.data() + std::size_t(info.output_scanline) * out.width);
            jpeg_read_scanlines(&info, &row, 1);
        }
        // A file cut short decodes its missing rows as grey with a warning; refuse it instead.
        if (err.manager.num_warnings > 0) {
            jpeg_destroy_decompress(&info);
            error = "damaged or truncated JPEG data";
            return false;
        }
        jpeg_finish_decompress(&info);
    }
    jpeg_destroy_decompress(&info);
    return true;
}

bool decode(std::FILE* file, DecodedImage& out, bool pixels, std::string& error)
{
    if (!sniff(file, out.kind, error)) return false;
    const bool ok = out.kind == ImageFileKind::Png ? decode_png(file, out, pixels, error)
                                                   : decode_jpeg(file, out, pixels, error);
    if (!ok) out.pixels.clear();
    return ok;
}

bool decode(const std::string& path, DecodedImage& out, bool pixels, std::string& error)
{
    File file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        error = "cannot open";
        return false;
    }
    return decode(file.get(), out, pixels, error);
}

bool decode(std::span<const std::byte> bytes, DecodedImage& out, bool pixels, std::string& error)
{
    if (bytes.empty()) {
        error = "no picture data";
        return false;
    }
    File file(fmemopen(const_cast<std::byte*>(bytes.data()), bytes.size(), "rb"));
    if (!file) {
        error = "cannot read picture data";
        return false;
    }
    return decode(file.get(), out, pixels, error);
}

bool encode_jpeg(std::FILE* file, const std::vector<std::uint32_t>& pixels, int width, int height, std::string& error)
{
    jpeg_compress_struct info{};
    JpegError err{};
    info.err = jpeg_std_error(&err.manager);
    err.manager.error_exit = jpeg_fail;
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&info);
        error = err.message;
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.input_components = 4;
    info.in_color_space = JCS_EXT_BGRX;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(reinterpret_cast<const JSAMPLE*>(pixels.data() + std::size_t(info.next_scanline) * width));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

}

bool decode_image_file(const std::string& path, DecodedImage& image, std::string& error)
{
    return decode(path, image, true, error);
}

bool read_image_header(const std::string& path, DecodedImage& image, std::string& error)
{
    return decode(path, image, false, error);
}

bool decode_image_bytes(std::span<const std::byte> bytes, DecodedImage& image, std::string& error)
{
    return decode(bytes, image, true, error);
}

bool read_image_bytes_header(std::span<const std::byte> bytes, DecodedImage& image, std::string& error)
{
    return decode(bytes, image, false, error);
}

bool encode_image_file(const std::string& path, ImageFileKind kind, const std::uint32_t* pixels, int width,
                       int height, int pitch, std::string& error)
{
    std::vector<std::uint32_t> straight(std::size_t(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) straight[std::size_t(y) * width + x] = straighten(pixels[std::size_t(y) * pitch + x]);
    // Write beside the target and rename, so a failed save leaves no half file.
    std::string temp = path + ".part";
    bool ok = false;
    if (kind == ImageFileKind::Png) {
        PngImage png;
        png.image.width = png_uint_32(width);
        png.image.height = png_uint_32(height);
        png.image.format = PNG_FORMAT_BGRA;
        ok = png_image_write_to_file(&png.image, temp.c_str(), 0, straight.data(), 0, nullptr) != 0;
        if (!ok) error = png.image.message;
    } else {
        File file(std::fopen(temp.c_str(), "wb"));
        if (!file) error = "cannot create";
        ok = file && encode_jpeg(file.get(), straight, width, height, error);
        if (file && std::fflush(file.get()) != 0) ok = false;
    }
    if (ok && std::rename(temp.c_str(), path.c_str()) != 0) {
        error = "cannot rename into place";
        ok = false;
    }
    if (!ok) std::remove(temp.c_str());
    return ok;
}

}
