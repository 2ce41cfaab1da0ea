#include "platform/sound/MmioFile.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

using plat::Descend;
using plat::MMCKINFO;
using plat::MmioFile;

std::string le32(std::uint32_t v)
{
    return {char(v & 0xFF), char(v >> 8 & 0xFF), char(v >> 16 & 0xFF), char(v >> 24 & 0xFF)};
}

std::string chunk(std::string_view id, std::uint32_t size, std::string_view body)
{
    return std::string(id) + le32(size) + std::string(body);
}

// Where the "data" chunk's data starts in a RIFF/WAVE of the given body, if found.
std::optional<std::size_t> find_data(std::string riff_body, std::uint32_t riff_size)
{
    MmioFile io = MmioFile::open_memory(chunk("RIFF", riff_size, "WAVE" + riff_body));
    MMCKINFO riff{};
    riff.fccType = plat::make_fourcc("WAVE");
    if (!io.descend(riff, nullptr, Descend::FindRiff))
        return std::nullopt;
    MMCKINFO data{};
    data.ckid = plat::make_fourcc("data");
    if (!io.descend(data, &riff, Descend::FindChunk))
        return std::nullopt;
    return data.dwDataOffset;
}

TEST(MmioFile, FindsChunksOnlyInsideTheBytesAndTheParent)
{
    const std::string odd = chunk("LIST", 3, "abc") + std::string(1, '\0');   // padded to an even size
    const struct { const char* what; std::string body; std::uint32_t riff_size; std::optional<std::size_t> at; } cases[] = {
        {"first", chunk("data", 2, "xx"), 14, 20},
        {"after a padded chunk", odd + chunk("data", 2, "xx"), 26, 32},
        {"header cut", std::string("dat"), 7, std::nullopt},
        {"skipped chunk claims 4 GB", chunk("LIST", 0xFFFFFFF0, "ab") + chunk("data", 2, "xx"), 24, std::nullopt},
        {"past the parent's end", odd + chunk("data", 2, "xx"), 12, std::nullopt},
        {"parent claims more than there is", chunk("data", 2, "xx"), 0xFFFFFFFF, 20},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(find_data(c.body, c.riff_size), c.at);
    }
}

TEST(MmioFile, RiffFormMustMatch)
{
    MmioFile io = MmioFile::open_memory(chunk("RIFF", 4, "AVI "));
    MMCKINFO riff{};
    riff.fccType = plat::make_fourcc("WAVE");
    EXPECT_FALSE(io.descend(riff, nullptr, Descend::FindRiff));
}

TEST(MmioFile, ReadsStopAtTheEnd)
{
    MmioFile io = MmioFile::open_memory("abcdef");
    std::byte out[4];
    EXPECT_TRUE(io.seek(4));
    EXPECT_EQ(io.read(out), 2u);
    EXPECT_FALSE(io.seek(7));
    EXPECT_FALSE(MmioFile::open_file("/nonexistent/sound.wav"));
}

}
