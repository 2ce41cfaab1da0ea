// Files made by ffmpeg played as the program plays them: the play logic over
// the real play controller and video engine, the program's host and player
// layers, the video window and the control bar drawn on the software device
// with the generated skin. The frames stay under artifacts/play-*.png.

#include "components/common/feeddb/RSSData.h"
#include "playback/common/NameClean.h"
#include "playback/playlogic/PlayerLayers.h"
#include "playback/playlogic/ScreensPlayHost.h"
#include "playback/playlogic/uiLogicFilePlay.h"
#include "screens/video/tests/FakePlayerLogic.h"
#include "screens/video/uiVideoLayer.h"
#include "screens/video/videoplaywindow.h"
#include "screens/video/wcontrolbar.h"

#include "toolkit/controls/SkinDraw.h"
#include "toolkit/controls/demo/SkinScreen.h"
#include "toolkit/render/render.h"
#include "toolkit/resmgr/tests/SkinRig.h"
#include "toolkit/uimgr/uiMgr.h"
#include "toolkit/widgets/CMutexGuard.h"

#include "platform/base/Utf.h"
#include "platform/fs/testing/TempFolder.h"
#include "platform/script/testing/ModuleTesting.h"
#include "platform/sound/AudioHost.h"
#include "platform/sound/AudioOutput.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <thread>

using namespace UI;

namespace {

constexpr int Width = 800;
constexpr int Height = 640;

// The program's player: the layers made at start-up, the play logic over its
// host, and the screens it drives, drawn a frame at a time as the compose
// thread draws them (the layer's cycle, then the tree).
struct ProgramPlayer {
    plat::TemporaryRegistry registry;
    plat::TempFolder folder;
    test::SkinRig skin;
    window root{"root"};
    window* overlay{new window("rootui")};
    videoplaywindow* video{new videoplaywindow("videoplaywindow")};
    window* bottom{new window("bottomframe-window")};
    wcontrolbar* bar{new wcontrolbar("wcontrolbar")};
    test::FakePlayerLogic screens_logic;
    std::unique_ptr<RenderEngine::backbuffer> canvas{skin.manager.CreateBackBuffer(Width, Height, true)};
    PlayerLayers layers{skin.renderer};
    std::atomic<bool> complete{false};
    std::unique_ptr<ScreensPlayHost> host;
    std::unique_ptr<uiLogicFilePlay> logic;

    ProgramPlayer()
    {
        EXPECT_TRUE(plat::register_modules(STRIMO_REGSVR,
                                           {FILTERS_MODULE, QUANDREL_MODULE, MOSSVEIL_MODULE, EFFECTS_MODULE}));
        plat::use_silent_audio(plat::SilentPace::RealTime);
        build_screens();
        ScreensPlayHost::Controller calls;
        // What the controller does with a size: the window keeps the picture's ratio.
        calls.video_size = [this](int w, int h, float) {
            CMutexGuard hold(UIRenderMutex());
            video->SetVideoSize(float(w), float(h));
        };
        calls.play_complete = [this] { complete = true; };
        host = std::make_unique<ScreensPlayHost>(std::move(calls), folder.path(), nullptr, layers.Visualization());
        logic = std::make_unique<uiLogicFilePlay>(*host);
    }
    ~ProgramPlayer()
    {
        logic.reset();
        uiMgr::Instance().SetVideoWindow(nullptr);
        uiMgr::Instance().SetRoot(nullptr);
        uiMgr::Instance().SetOverlayRoot(nullptr);
        plat::use_silent_audio();
    }

    void build_screens()
    {
        root.SetSize(Width, Height);
        overlay->SetSize(Width, Height);
        root.AddChild(overlay);
        uiMgr::Instance().SetRoot(&root);
        uiMgr::Instance().SetOverlayRoot(overlay);
        uiMgr::Instance().SetVideoWindow(video);
        video->SetSize(481, 364);
        root.AddChild(video);
        video->CreateChildren();
        video->SetLogic(&screens_logic);
        bottom->SetSize(Width, 40);
        bottom->SetPos(0, Height - 40);
        root.AddChild(bottom);
        root.AddChild(bar);
        bar->CreateChildren(*bottom, root);
        bar->SetPos((Width - 360) / 2.0f, Height - 40 - 92 - 4);
        root.UpdateLayout();
        video->MoveToCenter();
        frames(2);
    }

    void frame()
    {
        {
            CMutexGuard hold(UIRenderMutex());
            if (layers.Layer()->IsLayerActive()) layers.Layer()->Render();
            RenderEngine::PushRenderTarget(canvas.get(), true, 255, 0, 0, 0);
            DrawSkin(SkinPicture("black_image"), frect{0, 0, Width, Height}, 1, {});
            root.Draw();
            RenderEngine::PopRenderTarget();
        }
        // The logic thread's turn: the window's parent after a move.
        const auto refresh = std::count(screens_logic.logic_commands.begin(), screens_logic.logic_commands.end(),
                                        videoplaywindow::RefreshWidget);
        screens_logic.logic_commands.clear();
        for (long i = 0; i < refresh; ++i) video->UpdateParent();
    }
    void frames(int n)
    {
        for (int i = 0; i < n; ++i) frame();
    }

    std::string make_file(const std::string& name, const std::string& inputs)
    {
        const std::string path = folder / name;
        const std::string command = "ffmpeg -nostdin -loglevel error -y " + inputs + " '" + path + "'";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        return path;
    }

    // The picture's place on the canvas.
    RECT picture() const
    {
        const fpoint at = DrawPositionOf(*video->Picture());
        const fpoint size = video->Picture()->GetSize();
        return {LONG(at.x), LONG(at.y), LONG(at.x + size.x), LONG(at.y + size.y)};
    }
    uint64_t picture_hash() const
    {
        const RECT p = picture();
        uint64_t hash = 14695981039346656037ull;
        for (LONG y = p.top; y < p.bottom; y += 2)
            for (LONG x = p.left; x < p.right; x += 2) hash = (hash ^ read_pixel(canvas.get(), x, y)) * 1099511628211ull;
        return hash;
    }
    uint32_t centre() const
    {
        const RECT p = picture();
        return read_pixel(canvas.get(), (p.left + p.right) / 2, (p.top + p.bottom) / 2);
    }
    void save(const char* name) const
    {
        std::filesystem::create_directories(ARTIFACTS);
        EXPECT_TRUE(save_png(canvas.get(), (std::string(ARTIFACTS) + "/" + name).c_str()));
    }
};

// Frames come at the compose thread's pace, about 30 a second.
void next_cycle() { std::this_thread::sleep_for(std::chrono::milliseconds(33)); }

// Colours of the picture's place, on a grid of 4 pixels.
std::size_t colours(const ProgramPlayer& p)
{
    const RECT place = p.picture();
    std::set<uint32_t> seen;
    for (LONG y = place.top; y < place.bottom; y += 4)
        for (LONG x = place.left; x < place.right; x += 4) seen.insert(read_pixel(p.canvas.get(), x, y));
    return seen.size();
}

// A chord that swells and fades, as ffmpeg inputs: the picture moves from
// one frame's position to the next (a tone of a whole number of periods a
// frame would stand).
std::string chord(int seconds)
{
    return "-f lavfi -i \"aevalsrc=(0.45*sin(2*PI*440*t)+0.25*sin(2*PI*554*t)+0.2*sin(2*PI*659*t))*"
           "(0.55+0.45*sin(2*PI*0.8*t)):s=44100:d=" +
           std::to_string(seconds) + "\" -ac 2";
}

// Draws the frames while sound alone plays, until its end (or 30 s): how many
// frames were drawn, how often the effect's picture changed from one to the
// next, and how many drew something there. Saves the canvas as `save_as`
// once the effect has moved 10 times. How many frames fit into the sound
// depends on the machine; that nearly each one moves does not.
struct EffectSeen {
    int frames = 0;
    int changes = 0;
    int drawn = 0;
    bool saved = false;
};
EffectSeen watch_effect(ProgramPlayer& p, const char* save_as)
{
    EffectSeen seen;
    uint64_t last = p.picture_hash();
    for (int cycle = 0; cycle < 30 * 30 && !p.complete; ++cycle) {
        next_cycle();
        p.frame();
        const uint64_t now = p.picture_hash();
        ++seen.frames;
        seen.drawn += p.centre() != 0xFF000000u;
        seen.changes += now != last;
        last = now;
        if (seen.changes == 10 && save_as && !seen.saved) {
            p.save(save_as);
            seen.saved = true;
        }
    }
    return seen;
}

// The effect moved from frame to frame while the sound played: at least ten
// times, and on three frames of four (the first and last may find no new sound).
void expect_moving(const EffectSeen& seen)
{
    EXPECT_GE(seen.changes, 10) << "the effect moves with the sound";
    EXPECT_GE(seen.changes * 4, seen.frames * 3) << seen.changes << " of " << seen.frames << " frames moved";
    EXPECT_GT(seen.drawn, 0);
}

}  // namespace

// Sound alone: the layer turns to the visualisation, which the engine's sample
// reader feeds, and the picture moves with the sound until the end.
TEST(ProgramPlay, SoundAloneShowsTheEffectMovingInTheVideoWindow)
{
    ProgramPlayer p;
    const std::string tone = p.make_file("Evening chord.wav", chord(3) + " -c:a pcm_s16le");
    ASSERT_TRUE(p.logic->PlayFile(plat::utf8_to_utf16(tone)));
    EXPECT_EQ(p.layers.Layer()->GetClockMode(), uiVideoLayer::ClockVisualization);
    p.video->ShowVideo();

    const EffectSeen seen = watch_effect(p, "play-sound.png");
    EXPECT_TRUE(p.complete) << "the tone plays to its end";
    expect_moving(seen);
    EXPECT_TRUE(seen.saved);
}

// A podcast episode: a feed item whose downloaded copy (named as the download
// logic names it, ".mp4") holds AAC sound alone. It plays, and the window
// shows the effect, not an empty picture.
TEST(ProgramPlay, AFeedItemOfSoundAloneInMp4PlaysWithTheEffect)
{
    ProgramPlayer p;
    RSSData::tRSSItem item;
    item.title = "Morning podcast";
    item.original_media_url = "http://127.0.0.1:9/episode.m4a";
    const std::string copy = playback::titled_file_path(p.folder.path(), item.title, ".mp4");
    p.make_file(std::filesystem::path(copy).filename(), chord(2) + " -c:a aac");
    ASSERT_TRUE(p.logic->PlayVideoItem(item));
    EXPECT_EQ(p.layers.Layer()->GetClockMode(), uiVideoLayer::ClockVisualization);
    p.video->ShowVideo();

    const EffectSeen seen = watch_effect(p, nullptr);
    EXPECT_TRUE(p.complete) << "the episode plays to its end";
    expect_moving(seen);
}

// A clip with a picture: the engine's renderer reaches the program's video
// source, whose frames the video window draws.
TEST(ProgramPlay, AVideoReachesTheVideoWindowThroughTheProgramsLayer)
{
    ProgramPlayer p;
    const std::string clip =
        p.make_file("Evening sky.mkv", "-f lavfi -i gradients=size=320x240:rate=25:duration=2:nb_colors=3:"
                                       "c0=0x10235a:c1=0xe8743b:c2=0xf4c06a:speed=0.02 "
                                       "-f lavfi -i sine=frequency=440:sample_rate=44100:duration=2 "
                                       "-c:v mpeg4 -q:v 2 -c:a libmp3lame -ac 2");
    ASSERT_TRUE(p.logic->PlayFile(plat::utf8_to_utf16(clip)));
    EXPECT_EQ(p.layers.Layer()->GetClockMode(), uiVideoLayer::ClockVideo);
    p.video->ShowVideo();
    p.frame();
    EXPECT_LT(colours(p), 20u) << "nothing is shown before the first frame";

    bool shown = false;
    for (int cycle = 0; cycle < 30 * 30 && !p.complete && !shown; ++cycle) {
        next_cycle();
        p.frame();
        shown = colours(p) > 100;   // the gradient, not an empty or flat place
    }
    EXPECT_TRUE(shown);
    p.frames(8);   // the window eases to the picture's ratio
    p.save("play-video.png");
}

// A second clip played straight after the first: the first graph's renderer
// is let go and the second's attached, and the second's frames are drawn.
TEST(ProgramPlay, TheSecondOfTwoClipsPlayedBackToBackShowsItsPicture)
{
    ProgramPlayer p;
    const std::string first = p.make_file("First.mkv", "-f lavfi -i testsrc=size=320x240:rate=25:duration=3 "
                                                      "-c:v mpeg4 -q:v 2");
    const std::string second = p.make_file("Second.mkv", "-f lavfi -i smptebars=size=320x240:rate=25:duration=3 "
                                                        "-c:v mpeg4 -q:v 2");
    const auto shows_picture = [&] {
        for (int cycle = 0; cycle < 30 * 10 && !p.complete; ++cycle) {
            next_cycle();
            p.frame();
            if (colours(p) > 20) return true;
        }
        return false;
    };
    ASSERT_TRUE(p.logic->PlayFile(plat::utf8_to_utf16(first)));
    p.video->ShowVideo();
    EXPECT_TRUE(shows_picture()) << "the first clip's picture";
    ASSERT_TRUE(p.logic->PlayFile(plat::utf8_to_utf16(second)));
    p.video->ShowVideo();
    const uint64_t before = p.picture_hash();
    bool changed = false;
    for (int cycle = 0; cycle < 30 * 10 && !changed; ++cycle) {
        next_cycle();
        p.frame();
        changed = p.picture_hash() != before && colours(p) > 20;
    }
    EXPECT_TRUE(changed) << "the second clip's frames reach the window";
    p.save("play-second.png");
}
