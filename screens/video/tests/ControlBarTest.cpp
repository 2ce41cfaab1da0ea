#include "screens/video/IBaseUIPlay.h"
#include "screens/video/tests/FakePlayerLogic.h"
#include "screens/video/uiVideoLayer.h"
#include "screens/video/uibgLayer.h"
#include "screens/video/wcontrolbar.h"
#include "screens/video/wmoveactionbtn.h"
#include "screens/video/wmoveactionsliderbar.h"

#include "toolkit/controls/SkinDraw.h"
#include "toolkit/controls/demo/SkinScreen.h"
#include "toolkit/controls/tests/ControlRig.h"
#include "toolkit/render/render.h"
#include "toolkit/resmgr/tests/SkinRig.h"
#include "toolkit/controls/wbtn.h"
#include "toolkit/controls/wrotate.h"
#include "toolkit/controls/wselectbtn.h"
#include "toolkit/controls/wsliderbar.h"
#include "toolkit/controls/wtext.h"
#include "toolkit/uimgr/uiMgr.h"
#include "toolkit/widgets/MouseEventArgs.h"

#include "platform/base/Utf.h"

#include <gtest/gtest.h>

using namespace UI;

namespace {

struct BarScene {
    test::ControlScene scene;
    window root{"root"};
    window* bottom{new window("bottomframe-window")};
    wcontrolbar* bar{new wcontrolbar("wcontrolbar")};
    test::FakePlayerLogic logic;

    BarScene()
    {
        root.SetSize(1024, 700);
        bottom->SetSize(1024, 40);
        root.AddChild(bottom);
        bottom->SetPosRule(1, 2, 0, 0);
        root.AddChild(bar);
        bar->CreateChildren(*bottom, root);
        bar->SetLogic(&logic);
        root.UpdateLayout();
    }
    // A press on the widget, as the UI manager delivers it.
    static void press(widget& w)
    {
        MouseEventArgs e;
        e.position = w.GetScreenOrigin();
        w.OnMouseDown(e);
        w.OnMouseUp(e);
    }
    std::string text(wtext* t) const { return plat::utf16_to_utf8(t->GetText()); }
};

// The bar drawn on the software device with the generated skin.
struct DrawnBar {
    test::SkinRig skin;
    window root{"root"};
    window* bottom{new window("bottomframe-window")};
    wcontrolbar* bar{new wcontrolbar("wcontrolbar")};
    std::unique_ptr<RenderEngine::backbuffer> canvas{skin.manager.CreateBackBuffer(400, 140, true)};

    DrawnBar()
    {
        root.SetSize(400, 140);
        bottom->SetSize(400, 40);
        bottom->SetPos(0, 100);
        root.AddChild(bottom);
        root.AddChild(bar);
        bar->CreateChildren(*bottom, root);
        bar->SetPos(20, 4);
        root.UpdateLayout();
    }
    void draw()
    {
        RenderEngine::PushRenderTarget(canvas.get(), true, 255, 0, 0, 0);
        root.Draw();
        RenderEngine::PopRenderTarget();
    }
    // The seek bar's pixel at that share of its length, in its middle row.
    uint32_t track_pixel(float share)
    {
        const fpoint at = bar->PositionSlider()->GetScreenOrigin();
        return read_pixel(canvas.get(), int(at.x + 309 * share), int(at.y) + 3);
    }
    // Pixels of the seek bar in the accent's warm hue (the played part's mark).
    int played_pixels()
    {
        draw();
        const fpoint at = bar->PositionSlider()->GetScreenOrigin();
        int warm = 0;
        for (int y = int(at.y) - 1; y < int(at.y) + 8; ++y)
            for (int x = int(at.x); x < int(at.x) + 309; ++x) {
                const uint32_t p = read_pixel(canvas.get(), x, y);
                warm += int(p >> 16 & 0xFF) > int(p >> 8 & 0xFF) + 40;
            }
        return warm;
    }
};

}  // namespace

TEST(wcontrolbar, ButtonsPostTheirCommands)
{
    BarScene s;
    EXPECT_EQ(wcontrolbar::Instance(), s.bar);
    const struct {
        wbtn* button;
        std::vector<int> commands;
        std::vector<int> view_states;
    } cases[] = {
        {s.bar->PlayButton(), {34}, {}},
        {s.bar->PauseButton(), {35}, {}},
        {s.bar->NextButton(), {32}, {}},
        {s.bar->PreviousButton(), {31}, {}},
        {s.bar->SmallWindowButton(), {}, {0x1000000}},
        {s.bar->FullScreenButton(), {}, {0x2000000}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.button->GetName());
        s.logic.ui_commands.clear();
        s.logic.view_states.clear();
        BarScene::press(*c.button);
        EXPECT_EQ(s.logic.ui_commands, c.commands);
        EXPECT_EQ(s.logic.view_states, c.view_states);
    }
}

// The buttons stay on the bar's picture: none runs under its bottom edge,
// and the transport buttons sit side by side without overlapping.
TEST(wcontrolbar, ButtonsLieInsideTheBarSideBySide)
{
    BarScene s;
    const wcontrolbar& bar = *s.bar;
    const widget* buttons[] = {bar.PreviousButton(), bar.PlayButton(), bar.PauseButton(), bar.NextButton(),
                               bar.SmallWindowButton(), bar.FullScreenButton()};
    for (const widget* b : buttons) {
        SCOPED_TRACE(b->GetName());
        EXPECT_GT(b->GetWidth(), 0);
        EXPECT_GE(b->GetX(), 0);
        EXPECT_GE(b->GetY(), 0);
        EXPECT_LE(b->GetX() + b->GetWidth(), bar.GetWidth());
        EXPECT_LE(b->GetY() + b->GetHeight(), bar.GetHeight());
    }
    EXPECT_LE(bar.PreviousButton()->GetX() + bar.PreviousButton()->GetWidth(), bar.PlayButton()->GetX());
    EXPECT_LE(bar.PlayButton()->GetX() + bar.PlayButton()->GetWidth(), bar.NextButton()->GetX());
    // Play and pause share one place; a new bar, with nothing playing, shows play alone.
    EXPECT_TRUE(bar.PlayButton()->GetShowState());
    EXPECT_FALSE(bar.PauseButton()->GetShowState());
}

TEST(wcontrolbar, MuteAndUnmuteRestoreTheSavedVolume)
{
    BarScene s;
    s.logic.volume = 70;
    s.bar->SetVolumePercent(70);
    ASSERT_TRUE(s.bar->MuteOffButton()->GetShowState());
    BarScene::press(*s.bar->MuteOffButton());
    EXPECT_EQ(s.logic.volume, 0);
    EXPECT_FLOAT_EQ(s.bar->VolumeSlider()->GetValue(), 0);
    EXPECT_FALSE(s.bar->MuteOffButton()->IsVisible());   // no second mute
    EXPECT_TRUE(s.bar->MuteOnButton()->IsVisible());
    BarScene::press(*s.bar->MuteOnButton());
    EXPECT_EQ(s.logic.volumes_set, (std::vector<int>{0, 70}));
    EXPECT_FLOAT_EQ(s.bar->VolumeSlider()->GetValue(), 70);
    EXPECT_TRUE(s.bar->MuteOffButton()->IsVisible());
}

TEST(wcontrolbar, SlidersSeekAndSetTheVolume)
{
    BarScene s;
    s.bar->ShowPlayButton();
    ValueEventArgs moved;
    moved.sender = s.bar->PositionSlider();
    moved.value = 125;
    s.bar->PositionSlider()->FireEvent("slider_moveto", moved);
    EXPECT_EQ(s.logic.seeks, std::vector<int>{125});
    EXPECT_TRUE(s.bar->PauseButton()->IsVisible());
    EXPECT_FALSE(s.bar->PlayButton()->IsVisible());
    moved.sender = s.bar->VolumeSlider();
    moved.value = 30;
    s.bar->VolumeSlider()->FireEvent("slider_moveto", moved);
    EXPECT_EQ(s.logic.volumes_set, std::vector<int>{30});
}

TEST(wcontrolbar, DurationAndPosition)
{
    BarScene s;
    s.bar->SetDuration(600);
    EXPECT_FLOAT_EQ(s.bar->PositionSlider()->GetRange(), 600);
    EXPECT_EQ(s.text(s.bar->DurationText()), "10:00");
    for (const int64_t none : {0, -5}) {
        s.bar->SetDuration(none);
        EXPECT_FLOAT_EQ(s.bar->PositionSlider()->GetRange(), 600);
        EXPECT_EQ(s.text(s.bar->DurationText()), "10:00");
    }
    s.bar->SetPosition(75);
    EXPECT_EQ(s.text(s.bar->TimeText()), "01:15");
    s.bar->SetPosition(0);
    EXPECT_FLOAT_EQ(s.bar->PositionSlider()->GetValue(), 0);
    EXPECT_EQ(s.text(s.bar->TimeText()), "01:15");
}

// Nothing playing shows an empty seek bar; playing marks the position; a
// stop empties the bar again and reads 00:00.
TEST(wcontrolbar, TheSeekBarIsEmptyWhileNothingPlays)
{
    DrawnBar s;
    EXPECT_EQ(s.played_pixels(), 0) << "a new bar";
    s.bar->ShowPauseButton();
    s.bar->SetDuration(100);
    s.bar->SetPosition(50);
    EXPECT_GT(s.played_pixels(), 40) << "playing";
    s.bar->ShowPlayButton();
    EXPECT_GT(s.played_pixels(), 40) << "paused";
    s.bar->ShowStopped();
    EXPECT_EQ(s.played_pixels(), 0) << "stopped";
    EXPECT_FLOAT_EQ(s.bar->PositionSlider()->GetValue(), 0);
    EXPECT_EQ(plat::utf16_to_utf8(s.bar->TimeText()->GetText()), "00:00");
    EXPECT_TRUE(s.bar->PlayButton()->IsVisible());
    EXPECT_FALSE(s.bar->PauseButton()->IsVisible());
}

// The favourite toggle draws the picture of its state alone (both states are
// parts of one skin strip).
TEST(wcontrolbar, TheFavouriteToggleShowsOnePicture)
{
    BarScene s;
    widget* pressed = s.bar->FavoriteToggle()->FindChild("wimage-addtofavorite-pressed");
    widget* normal = s.bar->FavoriteToggle()->FindChild("wimage-addtofavorite-normal");
    ASSERT_TRUE(pressed && normal);
    for (const bool favourite : {false, true, false}) {
        SCOPED_TRACE(favourite);
        s.bar->SetFavorite(favourite);
        s.scene.render().ops.clear();
        s.root.Draw();
        EXPECT_EQ(test::draws_of(s.scene.render(), "btnaddfavorite"), 1);
        EXPECT_EQ(pressed->IsVisible(), favourite);
        EXPECT_EQ(normal->IsVisible(), !favourite);
    }
}

// The downloaded part lies under the seek track and shows through it.
TEST(wcontrolbar, TheBufferedRangeShowsUnderTheSeekBar)
{
    DrawnBar s;
    s.draw();
    const uint32_t empty = s.track_pixel(0.25f);
    s.bar->SetBufferRange(0, 50, 100);
    s.draw();
    auto grey = [](uint32_t p) { return int(p >> 8 & 0xFF); };
    EXPECT_GT(grey(s.track_pixel(0.25f)), grey(empty) + 30) << "inside the range";
    EXPECT_EQ(s.track_pixel(0.75f), empty) << "past the range";
}

TEST(wcontrolbar, TimeFormat)
{
    const struct {
        int64_t seconds;
        const char* text;
    } cases[] = {{0, "00:00"}, {59, "00:59"}, {61, "01:01"}, {3599, "59:59"},
                 {3600, "1:00:00"}, {3725, "1:02:05"}, {4000, "1:06:40"}, {36000 + 61, "10:01:01"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.seconds);
        EXPECT_EQ(plat::utf16_to_utf8(wcontrolbar::FormatTime(c.seconds)), c.text);
    }
}

TEST(wcontrolbar, VolumeAtItsMaximumStaysBelowIt)
{
    BarScene s;
    s.bar->SetVolumePercent(100);
    EXPECT_FLOAT_EQ(s.bar->VolumeSlider()->GetValue(), 99);
    s.bar->SetVolumePercent(50);
    EXPECT_FLOAT_EQ(s.bar->VolumeSlider()->GetValue(), 50);
}

TEST(wcontrolbar, HoveringTheMuteButtonShowsTheVolumeSlider)
{
    BarScene s;
    wmoveactionsliderbar* slider = s.bar->VolumeSlider();
    ASSERT_FALSE(slider->IsVisible());
    EXPECT_LT(slider->GetY(), 0);   // above the bottom frame
    s.bar->MuteOffButton()->OnMouseEnter();
    EXPECT_TRUE(slider->IsVisible());
    s.bar->MuteOffButton()->OnMouseLeave();
    EXPECT_FALSE(slider->IsVisible());
    slider->OnMouseEnter();
    EXPECT_TRUE(slider->IsVisible());
    slider->OnMouseLeave();
    EXPECT_FALSE(slider->IsVisible());
}

TEST(wcontrolbar, FavouriteToggleFliesAndTellsTheController)
{
    BarScene s;
    BarScene::press(*s.bar->FavoriteToggle());
    EXPECT_TRUE(s.bar->FavoriteFlight()->IsVisible());
    BarScene::press(*s.bar->FavoriteToggle());
    EXPECT_TRUE(s.bar->UnfavoriteFlight()->IsVisible());
    EXPECT_EQ(s.logic.favorites, (std::vector<bool>{true, false}));
    s.bar->SetFavorite(true);   // no flight, no call
    EXPECT_EQ(s.logic.favorites.size(), 2u);
}

TEST(IBaseUIPlay, FadesOnlyWhenTheyChangeSomething)
{
    BarScene s;
    uibgLayer background;
    uiVideoLayer video;
    animationMgr& animations = uiMgr::Instance().GetAnimations();
    animations.StopAll();
    IBaseUIPlay play;
    video.SetAlpha(0);
    play.HideVideoLayer();   // already at 0: no fade
    EXPECT_EQ(animations.TimeLineCount(), 0u);

    play.ShowVideoLayer();
    EXPECT_EQ(animations.TimeLineCount(), 2u);   // background out, video in
    animations.Tick(33);
    animations.Tick(33);
    const float partway = video.GetAlpha();
    EXPECT_GT(partway, 0);
    play.ShowVideoLayer();   // within 500 ms: the fade runs on, not from 0 again
    EXPECT_EQ(animations.TimeLineCount(), 2u);
    EXPECT_GE(video.GetAlpha(), partway);
    for (int i = 0; i < 20; ++i) animations.Tick(33);
    EXPECT_FLOAT_EQ(video.GetAlpha(), 255);
    EXPECT_FLOAT_EQ(background.GetAlpha(), 0);
    EXPECT_FALSE(background.IsVisible());
    EXPECT_EQ(animations.TimeLineCount(), 0u);

    play.HideVideoLayer();
    for (int i = 0; i < 20; ++i) animations.Tick(33);
    EXPECT_FLOAT_EQ(video.GetAlpha(), 0);
    EXPECT_FALSE(video.IsVisible());
}

TEST(IBaseUIPlay, ForwardsToTheControlBar)
{
    BarScene s;
    IBaseUIPlay play;
    play.SetDuration(200);
    play.SetPosition(100);
    play.SetTitle(u"A title");
    play.ShowPauseButton();
    EXPECT_EQ(s.text(s.bar->DurationText()), "03:20");
    EXPECT_EQ(s.text(s.bar->TimeText()), "01:40");
    EXPECT_TRUE(s.bar->TitleText()->IsVisible());
    EXPECT_EQ(s.text(s.bar->TitleText()), "A title");
    EXPECT_FALSE(s.bar->PlayButton()->IsVisible());
}

TEST(wcontrolbar, TheViewStateOffersTheOtherView)
{
    BarScene s;
    s.bar->ShowViewState(wcontrolbar::ViewSmallWindow);
    EXPECT_TRUE(s.bar->FullScreenButton()->IsVisible());
    EXPECT_FALSE(s.bar->SmallWindowButton()->IsVisible());
    s.bar->ShowViewState(wcontrolbar::ViewFullScreen);
    EXPECT_FALSE(s.bar->FullScreenButton()->IsVisible());
    EXPECT_TRUE(s.bar->SmallWindowButton()->IsVisible());
}
