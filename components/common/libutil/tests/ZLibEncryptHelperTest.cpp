#include "components/common/libutil/ByteBuffer.h"
#include "components/common/libutil/ZLibEncryptHelper.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include <zlib.h>

using LibUtil::ByteBuffer;
using LibUtil::ZLibEncryptHelper;

namespace {

std::string random_bytes(std::size_t n)
{
    std::mt19937 generator(12345);
    std::string s(n, '\0');
    for (auto& c : s)
        c = static_cast<char>(generator());
    return s;
}

std::string repeated_text(std::size_t n)
{
    std::string s;
    while (s.size() < n)
        s += "<item><title>Channel " + std::to_string(s.size()) + "</title></item>\n";
    return s;
}

// A standard zlib stream, as another zlib writer makes it.
std::string zlib_stream(std::string_view text)
{
    uLongf size = compressBound(static_cast<uLong>(text.size()));
    std::string out(size, '\0');
    compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(text.data()),
              static_cast<uLong>(text.size()), 9);
    out.resize(size);
    return out;
}

std::string inflate_standard(std::string stream)
{
    stream[0] = '\x78';
    stream[1] = '\x9C';
    std::string out(1 << 20, '\0');
    uLongf size = out.size();
    EXPECT_EQ(uncompress(reinterpret_cast<Bytef*>(out.data()), &size,
                         reinterpret_cast<const Bytef*>(stream.data()), static_cast<uLong>(stream.size())),
              Z_OK);
    out.resize(size);
    return out;
}

const std::string samples[] = {"", "a", std::string("zero\0inside", 11), repeated_text(5000),
                               random_bytes(3000)};

}

TEST(ZLibEncryptHelper, EveryModeDecodesWhatItEncoded)
{
    ZLibEncryptHelper codec;
    for (int mode = 0; mode <= 3; ++mode) {
        for (const auto& text : samples) {
            SCOPED_TRACE("mode " + std::to_string(mode) + ", " + std::to_string(text.size()) + " bytes");
            ByteBuffer encoded, decoded;
            ASSERT_TRUE(codec.Encode(ByteBuffer(text), encoded, mode));
            ASSERT_TRUE(codec.Decode(encoded, decoded, mode));
            EXPECT_EQ(decoded.ToString(), text);
        }
    }
}

TEST(ZLibEncryptHelper, ModeOneCopiesAndModeThreeIsStandardBase64)
{
    const struct { std::string_view plain, base64; } cases[] = {
        {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
        {"\xFB\xFF\xBF", "+/+/"},
    };
    ZLibEncryptHelper codec;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.base64);
        ByteBuffer copied, encoded, decoded;
        ASSERT_TRUE(codec.Encode(ByteBuffer(c.plain), copied, 1));
        EXPECT_EQ(copied.ToString(), c.plain);
        ASSERT_TRUE(codec.Encode(ByteBuffer(c.plain), encoded, 3));
        EXPECT_EQ(encoded.ToString(), c.base64);
        EXPECT_EQ(encoded.Data()[encoded.Length()], 0) << "Base64 text is zero-terminated";
        ASSERT_TRUE(codec.Decode(ByteBuffer(c.base64), decoded, 3));
        EXPECT_EQ(decoded.ToString(), c.plain);
    }
}

TEST(ZLibEncryptHelper, Base64DecodingSkipsForeignCharactersAndStopsAtTheEnd)
{
    const struct { std::string_view base64, plain; } cases[] = {
        {"Zm9v YmFy", "foobar"},
        {"Zm9v\r\nYmFy\n", "foobar"},
        {"Z*m-9.v", "foo"},
        {"Zg==Zm9v", "f"},                            // "=" ends the text
        {std::string_view("Zm9v\0YmFy", 9), "foo"},   // so does a zero byte
        {"Zm9vY", "foo"},                             // a last group of one character is dropped
        {"Zm9vYm", "foob"},
        {"!!!", ""},
    };
    ZLibEncryptHelper codec;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.base64);
        ByteBuffer decoded;
        ASSERT_TRUE(codec.Decode(ByteBuffer(c.base64), decoded, 3));
        EXPECT_EQ(decoded.ToString(), c.plain);
    }
}

TEST(ZLibEncryptHelper, ModeZeroIsZlibUnderKeyBytesThatMoveOnWithEachEncode)
{
    ZLibEncryptHelper codec;
    const std::string text = repeated_text(2000);
    ByteBuffer first, second;
    ASSERT_TRUE(codec.Encode(ByteBuffer(text), first, 0));
    ASSERT_TRUE(codec.Encode(ByteBuffer(text), second, 0));
    EXPECT_EQ(inflate_standard(first.ToString()), text);

    const BYTE* f = first.Data();
    EXPECT_LE(f[0], 254);
    EXPECT_LE(f[1], 254);
    EXPECT_EQ(second.Data()[0], f[first.Length() / 2]);
    EXPECT_EQ(second.Data()[1], f[first.Length() - 2]);
    EXPECT_EQ(second.View().substr(2), first.View().substr(2));
}

TEST(ZLibEncryptHelper, ModeZeroReadsAnyHeaderBytesAndLeavesTheCallersInputAlone)
{
    const std::string text = repeated_text(3000);
    const std::string standard = zlib_stream(text);
    const char headers[][2] = {{'\x78', '\x9C'}, {0, 0}, {'\xFF', '\xFF'}, {'\x12', '\x34'}};
    ZLibEncryptHelper codec;
    for (const auto& h : headers) {
        std::string stream = standard;
        stream[0] = h[0];
        stream[1] = h[1];
        const std::string before = stream;
        ByteBuffer decoded;
        ASSERT_TRUE(codec.Decode(ByteBuffer(stream, ByteBuffer::Storage::Borrow), decoded, 0));
        EXPECT_EQ(decoded.ToString(), text);
        EXPECT_EQ(stream, before);
    }
}

TEST(ZLibEncryptHelper, ModeTwoIsBase64OfModeZero)
{
    const std::string text = repeated_text(1500);
    ZLibEncryptHelper codec;
    ByteBuffer encoded, inner, decoded;
    ASSERT_TRUE(codec.Encode(ByteBuffer(text), encoded, 2));
    ASSERT_TRUE(codec.Decode(encoded, inner, 3));
    EXPECT_EQ(inflate_standard(inner.ToString()), text);

    ByteBuffer foreign_encoded;
    ASSERT_TRUE(codec.Encode(ByteBuffer(zlib_stream(text)), foreign_encoded, 3));
    ASSERT_TRUE(codec.Decode(foreign_encoded, decoded, 2));
    EXPECT_EQ(decoded.ToString(), text);
}

TEST(ZLibEncryptHelper, BadInputFailsAndLeavesTheOutputAsItWas)
{
    const std::string stream = zlib_stream(repeated_text(4000));
    std::string corrupt = stream;
    for (std::size_t i = 10; i < 60; ++i)
        corrupt[i] = static_cast<char>(~corrupt[i]);

    // A stream that asks for a preset dictionary.
    z_stream zs{};
    deflateInit(&zs, 9);
    deflateSetDictionary(&zs, reinterpret_cast<const Bytef*>("dictionary"), 10);
    std::string with_dictionary(256, '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>("dictionary words"));
    zs.avail_in = 16;
    zs.next_out = reinterpret_cast<Bytef*>(with_dictionary.data());
    zs.avail_out = 256;
    deflate(&zs, Z_FINISH);
    with_dictionary.resize(zs.total_out);
    deflateEnd(&zs);

    const struct { const char* what; std::string input; int mode; } cases[] = {
        {"empty", "", 0},
        {"one byte", "x", 0},
        {"empty Base64", "", 2},
        {"Base64 of one byte", "QQ==", 2},
        {"cut short", stream.substr(0, stream.size() / 2), 0},
        {"header only", stream.substr(0, 2), 0},
        {"corrupt", corrupt, 0},
        {"not zlib", "plain text, not compressed", 0},
        {"needs a dictionary", with_dictionary, 0},
    };
    ZLibEncryptHelper codec;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ByteBuffer output("untouched");
        EXPECT_FALSE(codec.Decode(ByteBuffer(c.input), output, c.mode));
        EXPECT_EQ(output.ToString(), "untouched");
    }
}

TEST(ZLibEncryptHelper, ModesPastThreeAreRefused)
{
    ZLibEncryptHelper codec;
    for (int mode : {4, 5, -1}) {
        SCOPED_TRACE(mode);
        ByteBuffer output("untouched");
        EXPECT_FALSE(codec.Encode(ByteBuffer("text"), output, mode));
        EXPECT_FALSE(codec.Decode(ByteBuffer("dGV4dA=="), output, mode));
        EXPECT_EQ(output.ToString(), "untouched");
    }
}
