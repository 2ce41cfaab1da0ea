#include "platform/sound/AudioHost.h"
#include "platform/sound/AudioOutput.h"
#include "platform/sound/Mixer.h"

#include "platform/base/WaveFormat.h"
#include "platform/sound/DirectSound.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

namespace {

WAVEFORMATEX pcm(WORD channels, DWORD rate)
{
    const WORD align = WORD(channels * 2);
    return {WAVE_FORMAT_PCM, channels, rate, rate * align, align, 16, 0};
}

std::vector<std::byte> constant(std::int16_t value, std::size_t samples)
{
    std::vector<std::int16_t> s(samples, value);
    std::vector<std::byte> bytes(samples * 2);
    std::memcpy(bytes.data(), s.data(), bytes.size());
    return bytes;
}

class StreamingVoice : public testing::Test {
protected:
    void SetUp() override { m_out = &plat::use_silent_audio(); }
    std::int16_t left(std::size_t frame) const { return m_out->recording().at(frame * 2); }

    plat::Mixer& m_mixer = plat::audio_mixer();
    plat::SilentAudioOutput* m_out = nullptr;
};

TEST_F(StreamingVoice, PlaysWhatIsQueuedInOrderAndItsClockWaitsWhenDry)
{
    auto voice = m_mixer.add_stream(pcm(1, plat::mix_rate));
    ASSERT_EQ(m_mixer.queue(*voice, constant(1000, 100)), DS_OK);
    ASSERT_EQ(m_mixer.queue(*voice, constant(-1000, 100)), DS_OK);
    m_out->render(50);
    EXPECT_EQ(m_mixer.played_frames(*voice), 0u) << "a stream starts halted";
    ASSERT_EQ(m_mixer.play(*voice), DS_OK);
    m_out->render(150);
    EXPECT_EQ(m_mixer.played_frames(*voice), 150u);
    EXPECT_EQ(m_mixer.queued_bytes(*voice), 100u);
    EXPECT_EQ(left(50), 1000);
    EXPECT_EQ(left(199), -1000);
    m_out->render(100);   // 50 left, then dry
    EXPECT_EQ(m_mixer.played_frames(*voice), 200u);
    EXPECT_EQ(left(249), -1000);
    EXPECT_EQ(left(250), 0);
    ASSERT_EQ(m_mixer.queue(*voice, constant(500, 10)), DS_OK);
    m_out->render(10);
    EXPECT_EQ(left(300), 500) << "a refilled stream goes on where it waited";
    EXPECT_EQ(m_mixer.played_frames(*voice), 210u);
}

TEST_F(StreamingVoice, HaltKeepsTheQueueAndDiscardDropsIt)
{
    auto voice = m_mixer.add_stream(pcm(2, plat::mix_rate));
    m_mixer.queue(*voice, constant(7, 200));
    m_mixer.play(*voice);
    m_out->render(40);
    m_mixer.halt(*voice);
    m_out->render(40);
    EXPECT_EQ(m_mixer.played_frames(*voice), 40u);
    EXPECT_EQ(m_mixer.queued_bytes(*voice), 240u);
    m_mixer.discard(*voice);
    EXPECT_EQ(m_mixer.queued_bytes(*voice), 0u);
    m_mixer.play(*voice);
    m_out->render(40);
    EXPECT_EQ(m_mixer.played_frames(*voice), 40u);
}

TEST_F(StreamingVoice, ClockCountsSourceFramesAtTheStreamsOwnRate)
{
    const struct {
        DWORD rate;
        std::size_t queued, rendered, played;
    } cases[] = {{plat::mix_rate / 2, 1000, 441, 220}, {48000, 1000, 441, 480}, {48000, 101, 441, 101}, {96000, 3, 2, 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rate);
        auto voice = m_mixer.add_stream(pcm(1, c.rate));
        m_mixer.queue(*voice, constant(1, c.queued));
        m_mixer.play(*voice);
        m_out->render(c.rendered);
        EXPECT_NEAR(double(m_mixer.played_frames(*voice)), double(c.played), 1.0);
        EXPECT_EQ(m_mixer.queued_bytes(*voice), (c.queued - m_mixer.played_frames(*voice)) * 2);
    }
}

TEST_F(StreamingVoice, RealTimeSilenceLetsTheClockRunWithNoOneRendering)
{
    plat::use_silent_audio(plat::SilentPace::RealTime);
    auto voice = m_mixer.add_stream(pcm(1, plat::mix_rate));
    m_mixer.queue(*voice, constant(1, plat::mix_rate));
    m_mixer.play(*voice);
    for (int i = 0; i < 500 && m_mixer.played_frames(*voice) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_GT(m_mixer.played_frames(*voice), 0u);
    m_out = &plat::use_silent_audio();
}

}
