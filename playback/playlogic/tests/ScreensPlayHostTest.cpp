#include "PlayDoubles.h"

#include "components/common/feeddb/RSSData.h"
#include "outside/ostrel/DownloadTaskInfo.h"
#include "playback/playlogic/ScreensPlayHost.h"
#include "playback/playlogic/uiLogicFilePlay.h"
#include "screens/video/tests/VideoScene.h"
#include "screens/video/uiVideoLayer.h"
#include "screens/video/wcontrolbar.h"

#include "toolkit/controls/wbtn.h"
#include "toolkit/controls/wmultiprogress.h"
#include "toolkit/controls/wsliderbar.h"
#include "toolkit/controls/wtext.h"

#include "platform/base/Utf.h"

#include <gtest/gtest.h>

using namespace UI;
using playtest::ControlPool;
using playtest::RecordingControl;

namespace {

// The player's screens with a control bar, a video layer and the play logic
// over a recording controller.
struct PlayerScene {
    test::VideoScene video;
    window* bottom{new window("bottomframe-window")};
    wcontrolbar* bar{new wcontrolbar("wcontrolbar")};
    uiVideoLayer layer;
    RecordingControl control;
    std::vector<std::string> told;   // what the controller was told
    std::unique_ptr<ScreensPlayHost> host;
    std::unique_ptr<uiLogicFilePlay> logic;

    PlayerScene()
    {
        bottom->SetSize(1024, 40);
        video.root.AddChild(bottom);
        video.root.AddChild(bar);
        bar->CreateChildren(*bottom, video.root);
        video.root.UpdateLayout();
        ScreensPlayHost::Controller calls;
        calls.play_state = [this](int s) { told.push_back("state " + std::to_string(s)); };
        calls.video_size = [this](int w, int h, float) { told.push_back("size " + std::to_string(w) + "x" + std::to_string(h)); };
        calls.play_complete = [this] { told.push_back("complete"); };
        host = std::make_unique<ScreensPlayHost>(std::move(calls), "/nowhere", nullptr, nullptr);
        ControlPool::next = &control;
        logic = std::make_unique<uiLogicFilePlay>(*host, PlayControllerFactory{&ControlPool::create, &ControlPool::release});
    }
    ~PlayerScene() { logic.reset(); }

    std::string text(wtext* t) const { return plat::utf16_to_utf8(t->GetText()); }
    LONG event(LONG code, INT_PTR value, INT_PTR extra = 0, void* sender = nullptr)
    {
        return static_cast<IBaseEventHandler&>(*logic).OnEvent(sender, code, value, extra);
    }
};

TEST(ScreensPlayHost, PlayingAFileShowsItOnTheBar)
{
    PlayerScene s;
    ASSERT_TRUE(s.logic->PlayFile(u"/videos/Evening news.flv"));
    EXPECT_EQ(s.text(s.bar->TitleText()), "Evening news");
    EXPECT_TRUE(s.bar->PauseButton()->IsVisible());
    EXPECT_FALSE(s.bar->PlayButton()->IsVisible());
    EXPECT_EQ(s.layer.GetClockMode(), uiVideoLayer::ClockVideo);

    s.event(EVT_DURATION_2, 300);
    s.event(EVT_POSITION, 61);
    EXPECT_EQ(s.text(s.bar->DurationText()), "05:00");
    EXPECT_EQ(s.text(s.bar->TimeText()), "01:01");

    s.logic->Pause();   // the bar offers what resumes
    EXPECT_TRUE(s.bar->PlayButton()->IsVisible());
    EXPECT_FALSE(s.bar->PauseButton()->IsVisible());
    s.logic->Play();
    EXPECT_TRUE(s.bar->PauseButton()->IsVisible());
    EXPECT_TRUE(s.bar->PositionSlider()->GetThumb()->IsVisible());

    s.logic->StopPlay();   // nothing plays: an empty bar at 00:00
    EXPECT_TRUE(s.bar->PlayButton()->IsVisible());
    EXPECT_FALSE(s.bar->PositionSlider()->GetThumb()->IsVisible());
    EXPECT_EQ(s.text(s.bar->TimeText()), "00:00");
}

TEST(ScreensPlayHost, AudioOnlyMediaSwitchesTheLayerToTheVisualisation)
{
    PlayerScene s;
    s.control.media_kind = 14;
    ASSERT_TRUE(s.logic->PlayFile(u"/music/song.mp3"));
    EXPECT_EQ(s.layer.GetClockMode(), uiVideoLayer::ClockVisualization);
    s.control.media_kind = 1;
    ASSERT_TRUE(s.logic->PlayFile(u"/videos/clip.mp4"));
    EXPECT_EQ(s.layer.GetClockMode(), uiVideoLayer::ClockVideo);
    s.control.media_kind = 14;
    ASSERT_TRUE(s.logic->PlayFile(u"/music/song.mp3"));
    s.logic->ReleaseController();   // the layer goes back to video with the engine
    EXPECT_EQ(s.layer.GetClockMode(), uiVideoLayer::ClockVideo);
}

TEST(ScreensPlayHost, EventsReachTheVideoWindowTheBarAndTheController)
{
    PlayerScene s;
    RSSData::tRSSItem item;
    item.title = "clip";
    item.original_media_url = "http://127.0.0.1:9/clip.flv";
    ASSERT_TRUE(s.logic->PlayVideoItem(item));
    EXPECT_TRUE(s.video.video->IsLoading());
    s.event(EVT_DATA_ARRIVED, 0);
    EXPECT_FALSE(s.video.video->IsLoading());
    s.event(EVT_BUFFERING, 0);
    EXPECT_TRUE(s.video.video->IsLoading());

    DownloadTaskInfo record;
    record.key = item.original_media_url;
    record.block.total_size = 8000;
    s.event(EVT_PLAY_PROGRESS, 1000, 3000, &record);
    EXPECT_FLOAT_EQ(s.bar->BufferBar()->GetRange(), 8000.0f);
    EXPECT_FLOAT_EQ(s.bar->BufferBar()->GetValue(), 1000.0f);

    s.event(EVT_VIDEO_SIZE, (480 << 16) | 854);
    s.event(EVT_VIDEO_SIZE, 854);   // no height: nothing
    s.event(EVT_RUNNING, 0);
    s.event(EVT_COMPLETE, 0);
    EXPECT_EQ(s.told, (std::vector<std::string>{"size 854x480", "state 1", "complete"}));
}

}
