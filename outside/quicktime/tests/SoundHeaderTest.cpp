#include "outside/quicktime/Handles.h"
#include "outside/quicktime/SoundHeader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace qt;

TEST(SoundHeader, ReadsBackWhatWasPut)
{
    const Handle h = NewHandle(0);
    const std::vector<char> samples{1, 2, 3, 4, 5, 6, 7, 8};
    ASSERT_EQ(put_sound(h, {0, k16BitBigEndianFormat, 2, 16, 44100u << 16, 2}, samples), noErr);
    SoundComponentData format{};
    unsigned long frames = 0, offset = 0;
    ASSERT_EQ(ParseSndHeader(h, &format, &frames, &offset), noErr);
    EXPECT_EQ(format.format, k16BitBigEndianFormat);
    EXPECT_EQ(format.numChannels, 2);
    EXPECT_EQ(format.sampleSize, 16);
    EXPECT_EQ(format.sampleRate, 44100u << 16);
    EXPECT_EQ(frames, 2u);
    EXPECT_EQ(GetHandleSize(h) - static_cast<long>(offset), 8);
    EXPECT_EQ(std::memcmp(*h + offset, samples.data(), samples.size()), 0);
    DisposeHandle(h);
}

TEST(SoundHeader, RefusesHandlesWithoutAWholeHeader)
{
    const struct {
        const char* name;
        long size;
        std::uint32_t offset;
    } cases[] = {{"empty", 0, 20}, {"cut header", 19, 20}, {"offset past the end", 24, 25}, {"offset inside the header", 24, 4}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Handle h = NewHandleClear(c.size);
        if (c.size >= 20) {
            for (int i = 0; i < 4; ++i) (*h)[16 + i] = static_cast<char>(c.offset >> (8 * (3 - i)));
        }
        SoundComponentData format{};
        unsigned long frames = 0, offset = 0;
        EXPECT_EQ(ParseSndHeader(h, &format, &frames, &offset), badFormat);
        DisposeHandle(h);
    }
}
