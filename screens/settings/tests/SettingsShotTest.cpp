// Each page of the settings window drawn headless at the bottom of a
// 1024-wide strip and saved as PNG (build/<tree>/artifacts/settings-*.png)
// for a look; pixel probes check the open tab and a checked box.

#include "screens/settings/tests/SettingsRig.h"

#include "toolkit/controls/SkinDraw.h"
#include "platform/base/Utf.h"
#include "toolkit/controls/demo/SkinScreen.h"
#include "toolkit/render/D3D9Render.h"
#include "toolkit/render/render.h"
#include "toolkit/render/texture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <filesystem>
#include <memory>

using settings_test::SettingsRig;

namespace {

constexpr int Width = 1024;
constexpr int Height = 150;

bool accent(uint32_t p) { return int((p >> 16) & 0xFF) > int(p & 0xFF) + 40; }

}  // namespace

TEST(SettingsShot, EveryPageDrawnFromTheSkin)
{
    SettingsRig rig;
    SettingsRig::store(u"StartAsFullScreen", 1);
    rig.click_select("wselectbtn_rsssetting");
    rig.click_select("wselectbtn_generalsetting");   // page 0 again, as stored
    // A cache holding a sparse 40 GiB video fills some of the usage bar and takes no disk.
    const std::string cache = rig.home / "cache";
    std::filesystem::create_directories(cache);
    std::ofstream(cache + "/video.flv").close();
    std::filesystem::resize_file(cache + "/video.flv", 40ull << 30);
    rig.settings.SetPath(1, plat::utf8_to_utf16(cache).c_str());
    rig.click_select("wselectbtn_downloadsetting");
    rig.click_select("wselectbtn_generalsetting");

    UI::window root("root");
    root.SetSize(Width, Height);
    root.AddChild(rig.page.release());
    auto* page = static_cast<UI::wsettingpage*>(root.FindChild("window_setting"));
    page->SetPos(0, Height - 120 - 4);
    root.UpdateLayout();

    std::unique_ptr<RenderEngine::backbuffer> canvas(rig.skin.manager.CreateBackBuffer(Width, Height, true));
    const char* const tabs[] = {"wselectbtn_generalsetting", "wselectbtn_rsssetting", "wselectbtn_downloadsetting",
                                "wselectbtn_prefetchsetting"};
    const char* const names[] = {"general", "feeds", "playback", "prefetch"};
    const std::filesystem::path folder = SETTINGS_SHOT_FOLDER;
    std::filesystem::create_directories(folder);
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(names[i]);
        UI::MouseEventArgs e;
        settings_test::find(*page, tabs[i])->OnMouseUp(e);
        RenderEngine::PushRenderTarget(canvas.get(), true, 255, 0, 0, 0);
        UI::DrawSkin(UI::SkinPicture("black_image"), UI::frect{0, 0, Width, Height}, 1, {});
        root.Draw();
        RenderEngine::PopRenderTarget();
        const std::string out = (folder / ("settings-" + std::string(names[i]) + ".png")).string();
        ASSERT_TRUE(UI::save_png(canvas.get(), out.c_str()));

        // The open tab's bar is lit, the others are not.
        for (int t = 0; t < 4; ++t) {
            UI::widget* tab = settings_test::find(*page, tabs[t]);
            const UI::fpoint at = tab->UpdateScreenOrigin();
            EXPECT_EQ(accent(UI::read_pixel(canvas.get(), int(at.x + tab->GetWidth()) - 3, int(at.y) + 7)), t == i) << t;
        }
    }
    // On the general page the stored "Start as full screen." is checked: its box carries the accent.
    UI::MouseEventArgs e;
    settings_test::find(*page, tabs[0])->OnMouseUp(e);
    RenderEngine::PushRenderTarget(canvas.get(), true, 255, 0, 0, 0);
    root.Draw();
    RenderEngine::PopRenderTarget();
    const UI::fpoint box = settings_test::find(*page, "wselectbtn_startasfullscreen")->UpdateScreenOrigin();
    const UI::fpoint empty = settings_test::find(*page, "wselectbtn_autorun")->UpdateScreenOrigin();
    int lit = 0, unlit = 0;
    for (int y = 2; y < 14; ++y)
        for (int x = 2; x < 14; ++x) {
            lit += accent(UI::read_pixel(canvas.get(), int(box.x) + x, int(box.y) + y));
            unlit += accent(UI::read_pixel(canvas.get(), int(empty.x) + x, int(empty.y) + y));
        }
    EXPECT_GT(lit, 10);
    EXPECT_EQ(unlit, 0);
}
