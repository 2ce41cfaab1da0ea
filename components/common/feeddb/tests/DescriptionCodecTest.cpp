#include "components/common/feeddb/DescriptionCodec.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

using feeddb::decode_description;
using feeddb::encode_description;

namespace {

std::string base64(const std::string& bytes)
{
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        unsigned group = 0;
        const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
        for (std::size_t k = 0; k < 3; ++k)
            group = group << 8 | (k < n ? static_cast<unsigned char>(bytes[i + k]) : 0u);
        for (std::size_t k = 0; k < 4; ++k)
            out += k <= n ? alphabet[group >> (18 - 6 * k) & 0x3F] : '=';
    }
    return out;
}

// What the codec's own mode 2 writes: a zlib stream whose header carries two key bytes.
std::string codec_mode2(const std::string& text, char key0, char key1)
{
    uLongf size = compressBound(text.size());
    std::string packed(size, '\0');
    compress2(reinterpret_cast<Bytef*>(packed.data()), &size, reinterpret_cast<const Bytef*>(text.data()), text.size(), 9);
    packed.resize(size);
    packed[0] = key0;
    packed[1] = key1;
    return base64(packed);
}

}

TEST(DescriptionCodec, TextsRoundTrip)
{
    const std::string texts[] = {"", "plain", "it's \"quoted\"\nand\tbroken\r\n", "caf\xC3\xA9 \xE4\xB8\xAD",
                                 std::string(5000, 'x') + std::string("\0tail", 5)};
    for (const std::string& text : texts) {
        SCOPED_TRACE(text.substr(0, 20));
        const auto stored = encode_description(text);
        ASSERT_TRUE(stored);
        EXPECT_EQ(stored->find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/="),
                  std::string::npos);
        EXPECT_EQ(decode_description(*stored), text);
    }
}

TEST(DescriptionCodec, ReadsTheCodecsFormWhateverItsKeyBytes)
{
    for (const auto& [k0, k1] : {std::pair{'\x00', '\x00'}, std::pair{'\xFE', '\x41'}, std::pair{'\x78', '\xDA'}}) {
        std::string stored = codec_mode2("<img src=\"a.jpg\"> caf\xC3\xA9", k0, k1);
        EXPECT_EQ(decode_description(stored), "<img src=\"a.jpg\"> caf\xC3\xA9");
        stored.insert(8, " \n*");   // characters outside the alphabet are skipped
        EXPECT_EQ(decode_description(stored), "<img src=\"a.jpg\"> caf\xC3\xA9");
    }
}

TEST(DescriptionCodec, BrokenStoredTextsFailCleanly)
{
    const std::string stored = *encode_description("some description that is long enough");
    for (const std::string& bad : {std::string("plain text, never encoded"), std::string("QQ=="), std::string("A"),
                                   stored.substr(0, stored.size() / 2)}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(decode_description(bad));
    }
}
