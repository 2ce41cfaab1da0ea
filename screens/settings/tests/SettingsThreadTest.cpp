// The folder chooser's answer arrives on the controller's logic thread while
// the compose thread draws the window and the UI thread reads its fields.

#include "screens/settings/tests/SettingsRig.h"

#include "platform/base/Utf.h"
#include "platform/devices/VolumeMonitor.h"
#include "platform/fs/Folders.h"
#include "platform/window/FileDialog.h"
#include "toolkit/render/render.h"
#include "toolkit/widgets/CMutexGuard.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

using settings_test::SettingsRig;

TEST(SettingsThreads, AChosenFolderArrivesWhileTheWindowIsDrawn)
{
    SettingsRig rig;
    const std::string fixed = rig.home / "fixed";
    plat::create_folder_tree(fixed + "/a");
    plat::create_folder_tree(fixed + "/bb");
    plat::VolumeMonitor::instance().use_given_volumes({{'C', plat::DriveKind::Fixed, fixed}});
    std::atomic<int> asked{0};
    plat::set_chooser_runner([&](const std::vector<std::string>&) {
        const int n = asked++;
        return std::optional<plat::ProgramOutput>(plat::ProgramOutput{0, fixed + (n % 2 ? "/a\n" : "/bb\n")});
    });
    rig.click_select("wselectbtn_downloadsetting");

    std::unique_ptr<RenderEngine::backbuffer> canvas(rig.skin.manager.CreateBackBuffer(1024, 120, true));
    std::atomic<bool> done{false};
    std::thread logic([&] {
        for (int i = 0; i < 40; ++i)
            rig.page->BrowseFolder(i % 2 ? UI::wsettingpage::CommandBrowseCache : UI::wsettingpage::CommandBrowseDownload);
        done = true;
    });
    int frames = 0;
    while (!done || frames == 0) {
        CMutexGuard hold(UIRenderMutex());
        RenderEngine::PushRenderTarget(canvas.get(), true, 255, 0, 0, 0);
        rig.page->Draw();
        RenderEngine::PopRenderTarget();
        const std::u16string shown = rig.text("wtext-cachedir-setting-playback");
        EXPECT_TRUE(shown.find(u"/fixed") != std::u16string::npos || shown == rig.settings.GetPath(1));
        ++frames;
    }
    logic.join();
    plat::set_chooser_runner({});
    EXPECT_EQ(asked.load(), 40);
    EXPECT_EQ(plat::utf16_to_utf8(rig.text("wtext-downloaddir-setting-playback")), fixed + "/bb");
    EXPECT_EQ(plat::utf16_to_utf8(rig.text("wtext-cachedir-setting-playback")), fixed + "/a");
}
