#include "outside/effects/LevelsEffect.h"

#include "platform/base/Bstr.h"
#include "platform/com/ComPtr.h"
#include "platform/d3d9/tests/DeviceRig.h"
#include "platform/registry/Registry.h"
#include "platform/registry/testing/TemporaryRegistry.h"

#include <gtest/gtest.h>

#include <cstring>

using plat::ComPtr;

namespace {

std::u16string text(BSTR b)
{
    std::u16string s = b ? std::u16string(b, SysStringLen(b)) : std::u16string();
    SysFreeString(b);
    return s;
}

TimedLevel levels(unsigned char level, unsigned char wave)
{
    TimedLevel l{};
    std::memset(l.frequency, level, sizeof l.frequency);
    std::memset(l.waveform, wave, sizeof l.waveform);
    l.state = play_state;
    return l;
}

TEST(LevelsEffect, OffersTwoPresets)
{
    auto effect = ComPtr<effects::LevelsEffect>::adopt(new effects::LevelsEffect());
    LONG count = 0;
    ASSERT_EQ(effect->GetPresetCount(&count), S_OK);
    EXPECT_EQ(count, 2);
    BSTR title = nullptr;
    EXPECT_EQ(effect->GetPresetTitle(0, &title), S_OK);
    EXPECT_EQ(text(title), u"Spectrum bars");
    EXPECT_EQ(effect->GetPresetTitle(1, &title), S_OK);
    EXPECT_EQ(text(title), u"Waveform");
    EXPECT_EQ(effect->GetPresetTitle(2, &title), E_INVALIDARG);
    EXPECT_EQ(effect->SetCurrentPreset(2), E_INVALIDARG);
    EXPECT_EQ(effect->SetCurrentPreset(1), S_OK);
    LONG preset = 0;
    effect->GetCurrentPreset(&preset);
    EXPECT_EQ(preset, 1);
}

// Renders one picture of the levels into a fresh 64 x 32 texture and returns its texels.
std::vector<DWORD> picture(effects::LevelsEffect& effect, TimedLevel l)
{
    test::DeviceRig rig = test::make_device(4, 4);
    ComPtr<IDirect3DTexture9> texture;
    EXPECT_EQ(rig.device->CreateTexture(64, 32, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, texture.put(), nullptr),
              D3D_OK);
    ComPtr<IDirect3DSurface9> level;
    texture->GetSurfaceLevel(0, level.put());
    HDC dc = nullptr;
    EXPECT_EQ(level->GetDC(&dc), D3D_OK);
    RECT rect{0, 0, 64, 32};
    EXPECT_EQ(effect.Render(&l, dc, &rect), S_OK);
    level->ReleaseDC(dc);
    std::vector<DWORD> texels;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x) texels.push_back(test::pixel(level.get(), x, y));
    return texels;
}

TEST(LevelsEffect, EachPresetDrawsWhatTheLevelsShow)
{
    auto effect = ComPtr<effects::LevelsEffect>::adopt(new effects::LevelsEffect());
    for (const LONG preset : {0, 1}) {
        SCOPED_TRACE(preset);
        effect->SetCurrentPreset(preset);
        const auto quiet = picture(*effect.get(), levels(0, 128));
        const auto loud = picture(*effect.get(), levels(200, 250));
        EXPECT_NE(quiet, loud);
    }
    const auto waveform = picture(*effect.get(), levels(200, 250));
    effect->SetCurrentPreset(0);
    EXPECT_NE(picture(*effect.get(), levels(200, 250)), waveform);
    TimedLevel l = levels(1, 1);
    RECT rect{0, 0, 4, 4};
    EXPECT_EQ(effect->Render(&l, nullptr, &rect), E_POINTER);
}

TEST(LevelsEffect, RegistrationListsItUnderTheEffectsKey)
{
    plat::TemporaryRegistry registry;
    ASSERT_EQ(effects::register_effect(), ERROR_SUCCESS);
    const std::u16string path = std::u16string(wmp_effects_key) + u"\\StrimoLevels\\Properties";
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
    char16_t value[64] = {};
    DWORD size = sizeof value;
    EXPECT_EQ(RegQueryValueExW(key, u"classid", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size),
              ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(std::u16string(value), plat::format_guid_utf16(effects::CLSID_LevelsEffect));
    EXPECT_EQ(effects::unregister_effect(), ERROR_SUCCESS);
    EXPECT_NE(RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
}

}
