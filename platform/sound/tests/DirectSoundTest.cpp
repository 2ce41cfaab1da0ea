#include "platform/sound/AudioHost.h"
#include "platform/sound/AudioOutput.h"
#include "platform/sound/DirectSound.h"
#include "platform/sound/Mixer.h"

#include "platform/com/ComPtr.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using plat::ComPtr;

WAVEFORMATEX pcm(WORD channels, WORD bits, DWORD rate)
{
    const WORD align = WORD(channels * bits / 8);
    return {WAVE_FORMAT_PCM, channels, rate, rate * align, align, bits, 0};
}

HWND some_window() { return reinterpret_cast<HWND>(std::uintptr_t{1}); }

class DirectSoundTest : public testing::Test {
protected:
    void SetUp() override
    {
        m_out = &plat::use_silent_audio();
        IDirectSound8* ds = nullptr;
        ASSERT_EQ(DirectSoundCreate8(nullptr, &ds, nullptr), DS_OK);
        m_ds = ComPtr<IDirectSound8>::adopt(ds);
        ASSERT_EQ(m_ds->SetCooperativeLevel(some_window(), DSSCL_PRIORITY), DS_OK);
    }

    // A mono 16-bit buffer at the mix rate holding frames copies of value.
    ComPtr<IDirectSoundBuffer> constant_buffer(std::int16_t value, DWORD frames, DWORD flags = DSBCAPS_CTRLVOLUME)
    {
        WAVEFORMATEX format = pcm(1, 16, plat::mix_rate);
        DSBUFFERDESC desc{sizeof(DSBUFFERDESC), flags, frames * 2, 0, &format, {}};
        IDirectSoundBuffer* raw = nullptr;
        EXPECT_EQ(m_ds->CreateSoundBuffer(&desc, &raw, nullptr), DS_OK);
        auto buffer = ComPtr<IDirectSoundBuffer>::adopt(raw);
        void* bytes = nullptr;
        DWORD size = 0;
        EXPECT_EQ(buffer->Lock(0, 0, &bytes, &size, nullptr, nullptr, DSBLOCK_ENTIREBUFFER), DS_OK);
        std::vector<std::int16_t> samples(frames, value);
        std::memcpy(bytes, samples.data(), size);
        EXPECT_EQ(buffer->Unlock(bytes, size, nullptr, 0), DS_OK);
        return buffer;
    }

    // The left channel of recorded frame i.
    std::int16_t left(std::size_t frame) const { return m_out->recording().at(frame * 2); }

    plat::SilentAudioOutput* m_out = nullptr;
    ComPtr<IDirectSound8> m_ds;
};

TEST_F(DirectSoundTest, PlaysOnceAndStopsAtTheEnd)
{
    auto buffer = constant_buffer(1000, 100);
    ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
    DWORD status = 0;
    buffer->GetStatus(&status);
    EXPECT_EQ(status, DSBSTATUS_PLAYING);
    m_out->render(150);
    EXPECT_EQ(left(0), 1000);
    EXPECT_EQ(m_out->recording()[1], 1000);   // mono reaches both sides
    EXPECT_EQ(left(99), 1000);
    EXPECT_EQ(left(100), 0);
    buffer->GetStatus(&status);
    EXPECT_EQ(status, 0u);
}

TEST_F(DirectSoundTest, DuplicatesShareSamplesAndMixTogether)
{
    auto buffer = constant_buffer(1000, 100);
    IDirectSoundBuffer* raw = nullptr;
    ASSERT_EQ(m_ds->DuplicateSoundBuffer(buffer.get(), &raw), DS_OK);
    auto copy = ComPtr<IDirectSoundBuffer>::adopt(raw);
    buffer->Play(0, 0, 0);
    copy->Play(0, 0, 0);
    m_out->render(10);
    EXPECT_EQ(left(5), 2000);
}

TEST_F(DirectSoundTest, VolumeAndPanAttenuate)
{
    auto buffer = constant_buffer(10000, 100, DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN);
    EXPECT_EQ(buffer->SetVolume(-602), DS_OK);
    EXPECT_EQ(buffer->SetPan(DSBPAN_RIGHT), DS_OK);
    EXPECT_EQ(buffer->SetVolume(1), DSERR_INVALIDPARAM);
    buffer->Play(0, 0, 0);
    m_out->render(10);
    EXPECT_NEAR(m_out->recording()[1], 5000, 10);   // right: half as loud
    EXPECT_NEAR(left(0), 0, 1);                    // left: -100 dB

    auto plain = constant_buffer(1000, 10, 0);
    EXPECT_EQ(plain->SetVolume(0), DSERR_CONTROLUNAVAIL);
    EXPECT_EQ(plain->SetPan(0), DSERR_CONTROLUNAVAIL);
}

TEST_F(DirectSoundTest, RefusesFormatsItCannotMix)
{
    const struct { const char* what; WAVEFORMATEX format; HRESULT result; } cases[] = {
        {"8-bit stereo", pcm(2, 8, 22050), DS_OK},
        {"24-bit", pcm(1, 24, 44100), DSERR_BADFORMAT},
        {"six channels", pcm(6, 16, 44100), DSERR_BADFORMAT},
        {"no rate", pcm(1, 16, 0), DSERR_BADFORMAT},
        {"ADPCM", {2, 1, 22050, 11025, 512, 4, 32}, DSERR_BADFORMAT},
        {"block align lies", {WAVE_FORMAT_PCM, 2, 44100, 176400, 1, 16, 0}, DSERR_BADFORMAT},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WAVEFORMATEX format = c.format;
        DSBUFFERDESC desc{sizeof(DSBUFFERDESC), DSBCAPS_CTRLVOLUME, 4096, 0, &format, {}};
        IDirectSoundBuffer* raw = nullptr;
        EXPECT_EQ(m_ds->CreateSoundBuffer(&desc, &raw, nullptr), c.result);
        ComPtr<IDirectSoundBuffer>::adopt(raw);
    }
}

TEST_F(DirectSoundTest, RefusesSizesOutsideTheLimits)
{
    WAVEFORMATEX format = pcm(1, 16, 44100);
    for (DWORD bytes : {DWORD{0}, DSBSIZE_MAX + 1}) {
        DSBUFFERDESC desc{sizeof(DSBUFFERDESC), 0, bytes, 0, &format, {}};
        IDirectSoundBuffer* raw = nullptr;
        EXPECT_EQ(m_ds->CreateSoundBuffer(&desc, &raw, nullptr), DSERR_INVALIDPARAM);
        EXPECT_EQ(raw, nullptr);
    }
}

TEST_F(DirectSoundTest, LockStaysInsideTheBuffer)
{
    auto buffer = constant_buffer(0, 100);
    void* bytes = nullptr;
    DWORD size = 0;
    EXPECT_EQ(buffer->Lock(150, 100, &bytes, &size, nullptr, nullptr, 0), DSERR_INVALIDPARAM);
    ASSERT_EQ(buffer->Lock(100, 100, &bytes, &size, nullptr, nullptr, 0), DS_OK);
    EXPECT_EQ(size, 100u);
    EXPECT_EQ(buffer->Lock(0, 10, &bytes, &size, nullptr, nullptr, 0), DSERR_INVALIDCALL);
    EXPECT_EQ(buffer->Unlock(bytes, 101, nullptr, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->Unlock(bytes, 100, nullptr, 0), DS_OK);
}

TEST_F(DirectSoundTest, LostBuffersRefuseUntilRestored)
{
    auto buffer = constant_buffer(1000, 100);
    buffer->Play(0, 0, 0);
    plat::audio_mixer().lose_all(2);
    DWORD status = 0;
    buffer->GetStatus(&status);
    EXPECT_EQ(status, DSBSTATUS_BUFFERLOST);
    EXPECT_EQ(buffer->Play(0, 0, 0), DSERR_BUFFERLOST);
    EXPECT_EQ(buffer->Restore(), DSERR_BUFFERLOST);
    EXPECT_EQ(buffer->Restore(), DSERR_BUFFERLOST);
    EXPECT_EQ(buffer->Restore(), DS_OK);
    // Restored memory holds nothing until the owner fills it again.
    buffer->Play(0, 0, 0);
    m_out->render(10);
    EXPECT_EQ(left(5), 0);
}

}
