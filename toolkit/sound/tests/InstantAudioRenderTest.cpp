#include "toolkit/sound/CAudioServer.h"
#include "toolkit/sound/CInstantAudioRender.h"

#include "platform/base/DebugLog.h"
#include "platform/base/HResult.h"
#include "platform/base/Resources.h"
#include "platform/sound/AudioHost.h"
#include "platform/sound/AudioOutput.h"
#include "platform/sound/DirectSound.h"
#include "platform/sound/Mixer.h"
#include "toolkit/sound/tests/WaveBytes.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

using namespace wave_bytes;

constexpr std::size_t click_frames = 1000;

HWND some_window() { return reinterpret_cast<HWND>(std::uintptr_t{1}); }

class InstantAudioRenderTest : public testing::Test {
protected:
    void SetUp() override
    {
        m_out = &plat::use_silent_audio();
        // Let what earlier cases in this process started play out.
        m_out->render(plat::mix_rate);
        m_out->clear_recording();
        plat::add_resource(u"click", u"WAVE", riff_wave(pcm_fmt() + chunk("data", samples16(1000, click_frames))));
        ASSERT_EQ(CAudioServer::Instance().Init(some_window()), 0);
        ASSERT_EQ(CAudioServer::Instance().CreateRender(&m_player, 0), S_OK);
    }

    // The left channel of the frame rendered last.
    std::int16_t render(std::size_t frames)
    {
        m_out->render(frames);
        return m_out->recording().at(m_out->recording().size() - 2);
    }

    plat::SilentAudioOutput* m_out = nullptr;
    CInstantAudioRender* m_player = nullptr;
};

TEST_F(InstantAudioRenderTest, LoadsFillSlotsOneToSeven)
{
    EXPECT_EQ(m_player->LoadSound(u"missing"), -1);   // does not use up a number
    for (int n = 1; n <= 7; ++n)
        EXPECT_EQ(m_player->LoadSound(u"click"), n);
    EXPECT_EQ(m_player->LoadSound(u"click"), -1);
}

TEST_F(InstantAudioRenderTest, PlayTakesTheNumbersLoadsGave)
{
    for (int n = 1; n <= 7; ++n)
        m_player->LoadSound(u"click");
    const struct { int number; HRESULT result; } cases[] = {
        {1, S_OK}, {6, S_OK}, {7, S_OK}, {0, E_FAIL}, {-1, E_FAIL}, {8, E_FAIL}, {1000, E_FAIL}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.number);
        EXPECT_EQ(m_player->Play(c.number), c.result);
    }
    CInstantAudioRender* empty = nullptr;
    CAudioServer::Instance().CreateRender(&empty, 0);
    EXPECT_EQ(empty->Play(3), CO_E_NOTINITIALIZED);
}

TEST_F(InstantAudioRenderTest, SixPlaysOverlapAndTheSeventhStartsOneOver)
{
    const int click = m_player->LoadSound(u"click");
    for (int i = 1; i <= 6; ++i) {
        ASSERT_EQ(m_player->Play(click), S_OK);
        EXPECT_EQ(render(100), 1000 * i);
    }
    ASSERT_EQ(m_player->Play(click), S_OK);
    EXPECT_EQ(render(100), 6000);
    // Without the seventh, every copy would have ended by now; the restarted one still plays.
    EXPECT_EQ(render(click_frames - 150), 1000);
    EXPECT_EQ(render(100), 0);
}

TEST_F(InstantAudioRenderTest, VolumeReachesTheMix)
{
    const int click = m_player->LoadSound(u"click");
    const struct { int volume; LONG attenuation; std::int16_t level; } cases[] = {
        {100, 0, 1000}, {50, -602, 500}, {10, -2000, 100}, {1, -4000, 10}, {0, -10000, 0},
        {-5, -10000, 0}, {250, 0, 1000}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.volume);
        m_player->SetVolume(c.volume);
        EXPECT_EQ(m_player->attenuation(), c.attenuation);
        m_player->Play(click);
        EXPECT_NEAR(render(10), c.level, 1);
        render(click_frames);
    }
}

TEST_F(InstantAudioRenderTest, VolumeChangesThePlayingSoundAtOnce)
{
    const int click = m_player->LoadSound(u"click");
    m_player->Play(click);
    EXPECT_EQ(render(10), 1000);
    m_player->SetVolume(50);
    EXPECT_NEAR(render(10), 500, 1);
}

TEST_F(InstantAudioRenderTest, ShortDataPlaysTheRestAsSilence)
{
    // 8-bit: silence is 128; 4 loud samples are there, 60 more are announced.
    plat::add_resource(u"cut", u"WAVE", riff_wave(pcm_fmt(8) + chunk("data", 64, "\xFF\xFF\xFF\xFF")));
    const int cut = m_player->LoadSound(u"cut");
    ASSERT_EQ(cut, 1);
    m_player->Play(cut);
    EXPECT_GT(render(4), 30000);
    EXPECT_EQ(render(10), 0);
}

TEST_F(InstantAudioRenderTest, FormatsTheMixerCannotPlayFailToLoad)
{
    plat::add_resource(u"adpcm", u"WAVE",
                       riff_wave(chunk("fmt ", format_fields(2, 1, 22050, 4) + le16(2) + "ab") + chunk("data", "1234")));
    EXPECT_EQ(m_player->LoadSound(u"adpcm"), -1);
    EXPECT_EQ(m_player->LoadSound(u"click"), 1);
}

TEST_F(InstantAudioRenderTest, ALostBufferIsRestoredAndFilledAgain)
{
    const int click = m_player->LoadSound(u"click");
    plat::audio_mixer().lose_all(3);
    EXPECT_EQ(m_player->Play(click), S_OK);
    EXPECT_EQ(render(10), 1000);
}

TEST_F(InstantAudioRenderTest, ABufferThatNeverComesBackFailsWithoutHanging)
{
    const int click = m_player->LoadSound(u"click");
    plat::audio_mixer().lose_all(-1);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(m_player->Play(click), DSERR_BUFFERLOST);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    EXPECT_EQ(render(10), 0);
}

TEST(AudioServer, UnknownLayersMixOnLayerZero)
{
    plat::DebugCapture log;
    CInstantAudioRender* player = nullptr;
    ASSERT_EQ(CAudioServer::Instance().CreateRender(&player, 7), S_OK);
    EXPECT_EQ(player->layer(), 0);
    EXPECT_TRUE(log.contains("Warning!, audioserver cannot mix this layer"));
    ASSERT_EQ(CAudioServer::Instance().CreateRender(&player, 4), S_OK);
    EXPECT_EQ(player->layer(), 4);
    EXPECT_EQ(player->volume(), 100);
}

// The server lives as long as the process: this case needs one where no
// window was given yet, as CTest runs every case in a process of its own.
TEST(AudioServer, WithoutAWindowNothingLoads)
{
    plat::use_silent_audio();
    plat::add_resource(u"click", u"WAVE", riff_wave(pcm_fmt() + chunk("data", samples16(1, 8))));
    EXPECT_EQ(CAudioServer::Instance().Init(nullptr), 1);
    CInstantAudioRender* player = nullptr;
    CAudioServer::Instance().CreateRender(&player, 0);
    EXPECT_EQ(player->LoadSound(u"click"), -1);
}

}
