#include "toolkit/resmgr/tests/SkinRig.h"

#include "platform/base/Utf.h"
#include "platform/fs/Folders.h"
#include "toolkit/render/font.h"

#include <gtest/gtest.h>

#include <thread>

// The UI thread loads, the compose thread looks pictures up and the logic
// thread makes font styles, all at once.
TEST(ResMgrThreads, LoadsAndLookupsRunTogether)
{
    test::SkinRig rig;
    const std::u16string file = plat::utf8_to_utf16(plat::join_path(plat::program_folder(), "Skins/images/Add.png"));
    constexpr int rounds = 200;
    std::thread loader([&] {
        for (int i = 0; i < rounds; ++i)
            rig.manager.LoadPicture(file, "loaded-" + std::to_string(i), 0);
    });
    std::thread composer([&] {
        for (int i = 0; i < rounds; ++i) {
            EXPECT_NE(rig.manager.GetPicture("caret_select"), nullptr);
            rig.manager.GetPicture("loaded-" + std::to_string(i));
        }
    });
    std::thread logic([&] {
        for (int i = 0; i < rounds; ++i) {
            std::unique_ptr<RenderEngine::fontstyle> style(rig.manager.CreateFontStyle(0, 0, "font_s12", 1, 1));
            EXPECT_NE(style->pfont, nullptr);
        }
    });
    loader.join();
    composer.join();
    logic.join();
    EXPECT_NE(rig.manager.GetPicture("loaded-199"), nullptr);
}

// The UI thread and the logic thread load texts at once; each keeps its own.
TEST(ResMgrThreads, TextsLoadedTogetherStayTheirOwn)
{
    UI::d3dresMgr manager;
    int wrong_logic = 0;
    int wrong_ui = 0;
    std::thread logic([&] {
        for (int i = 0; i < 2000; ++i) wrong_logic += manager.LoadText(5103) != u"No Availabe Content";
    });
    for (int i = 0; i < 2000; ++i) wrong_ui += manager.LoadText(5102) != u"Search YouTube";
    logic.join();
    EXPECT_EQ(wrong_logic + wrong_ui, 0);
}
