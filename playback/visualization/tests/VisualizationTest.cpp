#include "EffectRegistry.h"

#include "playback/visualization/CVisualization.h"
#include "playback/visualization/CVisualizationSource.h"

#include "toolkit/render/D3D9Render.h"

#include "platform/com/Com.h"
#include "platform/com/ComObject.h"
#include "platform/d3d9/tests/DeviceRig.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>

using plat::ComPtr;

namespace {

// Interleaved stereo frames: channel 0 from left(i), channel 1 from right(i).
template <class Left, class Right>
std::vector<std::byte> stereo(std::size_t frames, Left left, Right right)
{
    std::vector<std::byte> bytes(frames * 4);
    for (std::size_t i = 0; i < frames; ++i) {
        const std::int16_t pair[2] = {std::int16_t(left(i)), std::int16_t(right(i))};
        std::memcpy(bytes.data() + i * 4, pair, 4);
    }
    return bytes;
}

TEST(CVisualization, LevelsFollowThePowerOfEachBin)
{
    const struct {
        std::uint64_t power;
        unsigned level;
    } cases[] = {
        {0, 0},
        {20, 0},
        {21, 0},
        {60, 16},   // log 3 x 15
        {std::uint64_t(std::ceil(20 * std::exp(10.0))), 150},
        {std::uint64_t(std::ceil(20 * std::exp(17.0))), 255},
        {std::uint64_t(1) << 31, 255},
    };
    for (const auto& c : cases) EXPECT_EQ(CVisualization::LevelOf(c.power), c.level) << c.power;
}

TEST(CVisualization, WaveformIsTheMiddleSamplesHighBytesCentredOn128)
{
    CVisualization vis;
    TimedLevel levels{};
    const auto samples = stereo(2048, [](std::size_t i) { return i * 16; }, [](std::size_t) { return -32768; });
    ASSERT_TRUE(vis.ComputeLevels(samples, levels));
    EXPECT_EQ(levels.waveform[0][0], 160);      // sample 512: 8192, high byte 32
    EXPECT_EQ(levels.waveform[0][1023], 223);   // sample 1535: high byte 95
    EXPECT_EQ(levels.waveform[1][500], 0);      // -32768
    EXPECT_EQ(levels.state, play_state);
    EXPECT_EQ(levels.timeStamp, 8192);
}

TEST(CVisualization, ASteadyLevelFillsTheFirstBinOnly)
{
    CVisualization vis;
    TimedLevel levels{};
    const auto samples = stereo(2048, [](std::size_t) { return 8192; }, [](std::size_t) { return 0; });
    ASSERT_TRUE(vis.ComputeLevels(samples, levels));
    EXPECT_NEAR(levels.frequency[0][0], CVisualization::LevelOf(8192ull * 8192), 1);
    for (int j = 1; j < SA_BUFFER_SIZE; ++j) ASSERT_EQ(levels.frequency[0][j], 0) << j;
    for (int j = 0; j < SA_BUFFER_SIZE; ++j) ASSERT_EQ(levels.frequency[1][j], 0) << j;
}

TEST(CVisualization, ShortReadsComputeNothingAndMissingFramesAreSilence)
{
    CVisualization vis;
    TimedLevel levels{};
    std::memset(&levels, 0x55, sizeof levels);
    const auto full = stereo(2048, [](std::size_t) { return 1000; }, [](std::size_t) { return 1000; });
    EXPECT_FALSE(vis.ComputeLevels(std::span(full).first(4095), levels));
    EXPECT_EQ(levels.waveform[0][0], 0x55);
    EXPECT_EQ(levels.frequency[1][7], 0x55);

    ASSERT_TRUE(vis.ComputeLevels(std::span(full).first(4096), levels));   // 1024 frames
    EXPECT_EQ(levels.waveform[0][0], 131);     // frame 512: 1000, high byte 3
    EXPECT_EQ(levels.waveform[0][600], 128);   // frame 1112: past the read, silence
    EXPECT_EQ(levels.timeStamp, 4096);
}

TEST(CEnumEffects, ListsTheEffectsThatCanBeCreatedAndSkipsTheRest)
{
    EffectRegistry registry;
    CoInitialize(nullptr);
    CEnumEffects effects;
    EXPECT_EQ(effects.Enumerate(), S_OK);
    ASSERT_EQ(effects.Effects().size(), 2u);   // "Second" and "StrimoLevels"; "Broken" and "Garbled" skipped
    for (const auto& effect : effects.Effects()) {
        EXPECT_EQ(effect.title, u"Strimo Levels");
        EXPECT_EQ(effect.preset_count, 2);
    }
    EXPECT_EQ(effects.TotalPresets(), 4);
    CoUninitialize();
}

TEST(CEnumEffects, NoEffectsKeyListsNothing)
{
    plat::TemporaryRegistry empty;
    CEnumEffects effects;
    EXPECT_EQ(effects.Enumerate(), E_FAIL);
    EXPECT_TRUE(effects.Effects().empty());
}

TEST(CVisEffect, ChoiceNumbersSelectEffectAndPreset)
{
    EffectRegistry registry;
    CVisEffect effect;
    ASSERT_EQ(effect.Setup(RECT{0, 0, 320, 240}), S_OK);
    ASSERT_EQ(effect.Table().size(), 2u);
    EXPECT_EQ(effect.Table()[1].number, 2);
    ASSERT_EQ(effect.Table()[1].presets.size(), 2u);
    EXPECT_EQ(effect.Table()[1].presets[1].choice, 2001);
    EXPECT_EQ(effect.Table()[1].presets[1].title, u"Waveform");

    const struct {
        int choice;
        HRESULT result;
        int effect_index;
        LONG preset;
    } steps[] = {
        {1000, S_OK, 0, 0},       // the default: first effect, preset 0 (as Setup left it)
        {2001, S_OK, 1, 1},       // second listed effect, preset 1
        {0, S_OK, 1, 1},          // only remembered
        {1, S_OK, -1, -1},        // the effect goes
        {1001, S_OK, 0, 1},
        {3000, E_FAIL, -1, -1},   // past the list
        {999, E_FAIL, -1, -1},
        {-1000, E_FAIL, -1, -1},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.choice);
        EXPECT_EQ(effect.SetEffect(s.choice), s.result);
        EXPECT_EQ(effect.CurrentEffect(), s.effect_index);
        EXPECT_EQ(effect.CurrentPreset(), s.preset);
        EXPECT_EQ(effect.Choice(), s.choice);
    }
}

TEST(CVisEffect, WithoutEffectsEveryChoiceFails)
{
    plat::TemporaryRegistry empty;
    CVisEffect effect;
    EXPECT_EQ(effect.Setup(RECT{0, 0, 320, 240}), E_FAIL);
    EXPECT_TRUE(effect.Table().empty());
    EXPECT_EQ(effect.SetEffect(1000), E_FAIL);
    EXPECT_EQ(effect.CurrentEffect(), -1);
}

// Sound at a play position: a tone whose phase follows the position.
class ToneReader final : public plat::ComObject<ISampleReader> {
public:
    explicit ToneReader(LONG bytes) : m_bytes(bytes) {}
    LONG Read(LONGLONG position, BYTE* buffer, LONG size) override
    {
        const LONG bytes = std::min(size, m_bytes);
        const double start = double(position) / 10'000'000.0;
        const auto samples = stereo(std::size_t(bytes) / 4, [&](std::size_t i) {
            return 12000 * std::sin(2 * std::numbers::pi * 440 * (start + double(i) / 44100));
        }, [&](std::size_t i) { return 6000 * std::sin(2 * std::numbers::pi * 1000 * (start + double(i) / 44100)); });
        if (!samples.empty()) std::memcpy(buffer, samples.data(), samples.size());
        return LONG(samples.size());
    }

private:
    LONG m_bytes;
};

std::vector<DWORD> texels(IDirect3DTexture9* texture)
{
    std::vector<DWORD> all;
    for (int y = 0; y < 240; y += 4)
        for (int x = 0; x < 320; x += 4) all.push_back(test::pixel(texture, x, y));
    return all;
}

class VisualizationSource : public ::testing::Test {
protected:
    VisualizationSource() : rig(test::make_device(16, 16)) { render.SetDevice(rig.device.get()); }

    EffectRegistry registry;
    test::DeviceRig rig;
    RenderEngine::D3D9Render render;
};

TEST_F(VisualizationSource, EachFrameRedrawsTheTextureFromTheSoundAtThePosition)
{
    CVisualizationSource source(&render);
    source.RenderFrame(0);   // nothing before a reader
    EXPECT_FALSE(source.Texture());
    auto reader = ComPtr<ToneReader>::adopt(new ToneReader(8192));
    source.SetSampleReader(reader.get());
    const auto texture = source.Texture();
    ASSERT_TRUE(texture);
    ASSERT_NE(source.Effect(), nullptr);
    EXPECT_EQ(source.Effect()->CurrentPreset(), 1);   // the first effect's second preset: the waveform
    const auto blank = texels(texture.get());
    source.RenderFrame(0);
    const auto first = texels(texture.get());
    EXPECT_NE(first, blank);
    source.RenderFrame(10'000'000 / 30 * 7);
    EXPECT_NE(texels(texture.get()), first);
}

TEST_F(VisualizationSource, ReadsOfTooFewBytesLeaveThePicture)
{
    CVisualizationSource source(&render);
    auto full = ComPtr<ToneReader>::adopt(new ToneReader(8192));
    source.SetSampleReader(full.get());
    source.RenderFrame(0);
    const auto texture = source.Texture();
    const auto drawn = texels(texture.get());
    for (const LONG bytes : {0, 100, 4092}) {
        SCOPED_TRACE(bytes);
        auto short_reader = ComPtr<ToneReader>::adopt(new ToneReader(bytes));
        source.SetSampleReader(short_reader.get());
        source.RenderFrame(12345678);
        EXPECT_EQ(texels(texture.get()), drawn);
    }
}

TEST_F(VisualizationSource, ANewReaderReplacesTheOldOneAndItsVisualisation)
{
    CVisualizationSource source(&render);
    auto first = ComPtr<ToneReader>::adopt(new ToneReader(8192));
    auto second = ComPtr<ToneReader>::adopt(new ToneReader(8192));
    source.SetSampleReader(first.get());
    const CVisEffect* old_effect = source.Effect();
    source.SetSampleReader(second.get());
    EXPECT_EQ(first->AddRef(), 2u);   // the source let the first reader go
    first->Release();
    EXPECT_NE(source.Effect(), nullptr);
    (void)old_effect;
    source.SetSampleReader(nullptr);
    source.RenderFrame(0);   // no reader: nothing read, nothing drawn
    EXPECT_EQ(second->AddRef(), 2u);
    second->Release();
}

TEST(VisualizationSourceWithoutDevice, DoesNothing)
{
    plat::TemporaryRegistry empty;
    CVisualizationSource source(nullptr);
    auto reader = ComPtr<ToneReader>::adopt(new ToneReader(8192));
    source.SetSampleReader(reader.get());
    EXPECT_FALSE(source.Texture());
    source.RenderFrame(0);
    EXPECT_EQ(reader->AddRef(), 2u);   // not kept
    reader->Release();
}

TEST(CVisualizationDrawing, ChoiceOneDrawsNothingMore)
{
    EffectRegistry registry;
    test::DeviceRig rig = test::make_device(16, 16);
    ComPtr<IDirect3DTexture9> texture;
    ASSERT_EQ(rig.device->CreateTexture(320, 240, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, texture.put(), nullptr),
              D3D_OK);
    ComPtr<IDirect3DSurface9> level;
    texture->GetSurfaceLevel(0, level.put());
    CVisualization vis;
    ASSERT_EQ(vis.Setup(RECT{0, 0, 320, 240}), S_OK);
    const auto loud = stereo(2048, [](std::size_t i) { return (i % 64) * 500; }, [](std::size_t) { return 0; });
    const auto draw = [&](const std::vector<std::byte>& samples) {
        HDC dc = nullptr;
        ASSERT_EQ(level->GetDC(&dc), D3D_OK);
        vis.Render(samples, dc);
        level->ReleaseDC(dc);
    };
    draw(loud);
    const auto drawn = texels(texture.get());
    EXPECT_NE(drawn, std::vector<DWORD>(drawn.size(), 0xff000000u));
    ASSERT_EQ(vis.SetEffect(no_effect_choice), S_OK);
    draw(stereo(2048, [](std::size_t) { return 0; }, [](std::size_t) { return 0; }));
    EXPECT_EQ(texels(texture.get()), drawn);
}

}
