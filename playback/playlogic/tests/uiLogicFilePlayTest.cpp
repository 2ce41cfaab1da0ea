#include "PlayDoubles.h"

#include "components/common/feeddb/RSSData.h"
#include "outside/ostrel/DownloadTaskInfo.h"
#include "playback/playlogic/FileTypes.h"
#include "playback/playlogic/uiLogicFilePlay.h"
#include "platform/base/Utf.h"
#include "platform/fs/testing/TempFolder.h"
#include "platform/window/FileDialog.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <thread>

using playtest::ControlPool;
using playtest::RecordingControl;
using playtest::RecordingHost;

namespace {

class PlayLogic : public ::testing::Test {
protected:
    void SetUp() override
    {
        ControlPool::created = ControlPool::released = 0;
        host.downloader = reinterpret_cast<IOstrel*>(&downloader_marker);
        ControlPool::next = &control;
        logic = std::make_unique<UI::uiLogicFilePlay>(host, UI::PlayControllerFactory{&ControlPool::create, &ControlPool::release});
        control.commands.clear();
        host.clear();
    }
    void TearDown() override
    {
        logic.reset();
        EXPECT_EQ(host.unguarded, std::vector<std::string>{}) << "screens changed without UIRenderMutex";
    }
    // The tasks the controller was asked to play, in order.
    std::vector<PlayTaskInfo> tasks() const
    {
        std::vector<PlayTaskInfo> out;
        for (const auto& c : control.commands)
            if (c.code == CMD_PLAY_NOW) out.push_back(c.task);
        return out;
    }
    void restart_recording()
    {
        control.commands.clear();
        host.clear();
    }

    int downloader_marker = 0;
    playtest::CountedReader reader;   // before the control and the logic, which hold its address
    RecordingControl control;
    RecordingHost host;
    std::unique_ptr<UI::uiLogicFilePlay> logic;
};

TEST_F(PlayLogic, ControllerLifeIsSetUpAndTornDownInOrder)
{
    RecordingControl fresh;
    ControlPool::next = &fresh;
    {
        UI::uiLogicFilePlay made(host, {&ControlPool::create, &ControlPool::release});
        ASSERT_EQ(fresh.codes(), (std::vector<LONG>{CMD_SET_DOWNLOADER, CMD_INIT, CMD_ADD_LISTENER}));
        EXPECT_EQ(fresh.commands[0].pointer, host.downloader);
        EXPECT_EQ(fresh.commands[2].pointer, static_cast<IBaseEventHandler*>(&made));
        fresh.commands.clear();
        host.clear();
    }
    EXPECT_EQ(fresh.codes(), (std::vector<LONG>{CMD_STOP, CMD_CLOSE, CMD_REMOVE_LISTENER}));
    EXPECT_EQ(ControlPool::released, 1);
    EXPECT_TRUE(host.saw("no reader"));
    EXPECT_TRUE(host.saw("layer 1"));
}

TEST_F(PlayLogic, TransportOperationsSendTheirCommandsAndShowWhatComesNext)
{
    const struct {
        const char* name;
        std::function<void(UI::uiLogicFilePlay&)> run;
        std::vector<LONG> codes;
        const char* shown;   // the bar's new face, or null
    } cases[] = {
        {"stop", [](auto& l) { l.Stop(); }, {CMD_STOP, CMD_CLOSE}, nullptr},
        {"pause offers play", [](auto& l) { l.Pause(); }, {CMD_PAUSE}, "show play"},
        {"play offers pause", [](auto& l) { l.Play(); }, {CMD_RUN}, "show pause"},
        {"stop play", [](auto& l) { EXPECT_FALSE(l.StopPlay()); }, {CMD_STOP}, "show stop"},
        {"resume", [](auto& l) { EXPECT_FALSE(l.Resume()); }, {CMD_RUN}, "show pause"},
        {"restart", [](auto& l) { EXPECT_FALSE(l.Restart()); }, {CMD_RUN}, "show pause"},
        {"slot 11", [](auto& l) { l.Spare11(); }, {CMD_STOP, CMD_RUN}, "show pause"},
        {"slot 12", [](auto& l) { l.Spare12(); }, {CMD_STOP, CMD_RUN}, "show pause"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        restart_recording();
        c.run(*logic);
        EXPECT_EQ(control.codes(), c.codes);
        if (c.shown) {
            EXPECT_TRUE(host.saw(c.shown));
        }
    }
}

TEST_F(PlayLogic, VolumeMapsPercentOntoTheEngineScale)
{
    const struct {
        int percent;
        LONG sent;
    } set[] = {{100, 100}, {0, 50}, {50, 75}, {37, 68}};
    for (const auto& c : set) {
        restart_recording();
        logic->SetVolume(c.percent);
        ASSERT_EQ(control.codes(), std::vector<LONG>{CMD_SET_VOLUME});
        EXPECT_EQ(control.commands[0].value, c.sent) << c.percent;
    }
    const struct {
        LONG reply;
        int percent;
    } get[] = {{75, 50}, {50, 0}, {100, 100}};
    for (const auto& c : get) {
        control.volume = c.reply;
        EXPECT_EQ(logic->GetVolume(), c.percent) << c.reply;
    }
}

TEST_F(PlayLogic, SeekingNeedsTheControllersSeekCapability)
{
    const struct {
        LONG version;
        bool sent;
    } cases[] = {{1, false}, {17, true}, {0x10, true}, {0xEF, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.version);
        control.version = c.version;
        ASSERT_TRUE(logic->PlayFile(u"/v/a.mp4"));   // reads the version pair
        restart_recording();
        logic->Seek(30);
        if (c.sent) {
            ASSERT_EQ(control.codes(), std::vector<LONG>{CMD_SEEK});
            EXPECT_EQ(control.commands[0].value, 30);
        } else {
            EXPECT_TRUE(control.commands.empty());
        }
    }
}

TEST_F(PlayLogic, PlayFileHandsTheFileOverAndShowsItsTitle)
{
    const struct {
        std::u16string path;
        const char* title;
    } cases[] = {
        {u"/v/a.b.mp4", "title a.b"},
        {u"/v/clip", "title clip"},
        {u"/v.d/noext", "title noext"},       // the folder's dot is no extension
        {u"/v/x\\y.avi", "title y"},
        {u"/v/.hidden", "title .hidden"},
        {u"/v/\u4E2D\u6587.flv", "title \xE4\xB8\xAD\xE6\x96\x87"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        restart_recording();
        ASSERT_TRUE(logic->PlayFile(c.path));
        EXPECT_EQ(control.codes(), (std::vector<LONG>{CMD_PLAY_NOW, CMD_PLAY_LIST, CMD_GET_VERSION, CMD_GET_MEDIA_KIND}));
        const auto played = tasks();
        ASSERT_EQ(played.size(), 1u);
        EXPECT_EQ(played[0].local_path, c.path);
        EXPECT_EQ(played[0].url, plat::utf16_to_utf8(c.path));
        EXPECT_TRUE(played[0].is_local_file());
        EXPECT_TRUE(host.saw(c.title));
        EXPECT_TRUE(host.saw("position 0"));
        EXPECT_TRUE(host.saw("show pause"));
        EXPECT_EQ(logic->CurrentPath(), c.path);
    }
}

TEST_F(PlayLogic, MediaKindPicksVideoOrVisualisation)
{
    control.reader = &reader;
    const struct {
        LONG kind;
        int mode;
    } cases[] = {{0, 1}, {12, 1}, {13, 2}, {14, 2}, {16, 2}, {17, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        restart_recording();
        host.visualised = nullptr;
        control.media_kind = c.kind;
        ASSERT_TRUE(logic->PlayFile(u"/v/song.mp3"));
        EXPECT_TRUE(host.saw("layer " + std::to_string(c.mode)));
        const auto codes = control.codes();
        const bool asked = std::find(codes.begin(), codes.end(), CMD_SAMPLE_READER) != codes.end();
        EXPECT_EQ(asked, c.mode == 2);
        EXPECT_EQ(host.visualised, c.mode == 2 ? &reader : nullptr);
        EXPECT_EQ(reader.refs, 1);   // the logic gave its own count back
    }
}

// The controller opens a file on a thread of its own: the kind is asked once
// its engine told of the start, so sound that opens slowly still shows the
// visualisation.
TEST_F(PlayLogic, TheKindIsAskedOnceTheEngineTookTheFile)
{
    control.reader = &reader;
    control.opens_late_as = 16;
    restart_recording();
    ASSERT_TRUE(logic->PlayFile(u"/v/tone.wav"));
    EXPECT_TRUE(host.saw("layer 2"));
    EXPECT_EQ(host.visualised, &reader);
}

TEST_F(PlayLogic, LocalFilesPlayAgainAfterTheControllerWasReleased)
{
    logic->ReleaseController();
    EXPECT_EQ(ControlPool::released, 1);
    RecordingControl second;
    ControlPool::next = &second;
    EXPECT_TRUE(logic->PlayFile(u"/v/a.mp4"));
    EXPECT_EQ(ControlPool::created, 2);   // the fixture's, then this one
    ASSERT_GE(second.commands.size(), 4u);
    EXPECT_EQ(second.commands[3].code, CMD_PLAY_NOW);
    // Transport without a controller does nothing and does not crash.
    logic->ReleaseController();
    logic->Pause();
    logic->SetVolume(10);
    EXPECT_EQ(logic->GetVolume(), 0);
}

TEST_F(PlayLogic, PlayWithoutARunningItemReopensIt)
{
    ASSERT_TRUE(logic->PlayFile(u"/v/a.mp4"));
    restart_recording();
    control.results[CMD_RUN] = -1;
    logic->Play();
    const auto played = tasks();
    ASSERT_EQ(played.size(), 1u);
    EXPECT_EQ(played[0].local_path, u"/v/a.mp4");
}

RSSData::tRSSItem item_titled(const std::string& title, std::int32_t status = 0)
{
    RSSData::tRSSItem item;
    item.title = title;
    item.original_media_url = "http://127.0.0.1:9/" + title + ".flv";
    item.set_status(status);
    return item;
}

// A play-now the controller dropped, or a list that does not start, is no play.
TEST_F(PlayLogic, PlayFailsWhenTheControllerDoesNotTakeIt)
{
    const struct {
        LONG code;
        LONG result;
    } cases[] = {{CMD_PLAY_NOW, -1}, {CMD_PLAY_NOW, 0}, {CMD_PLAY_LIST, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        restart_recording();
        control.results = {{c.code, c.result}};
        EXPECT_FALSE(logic->PlayFile(u"/v/a.mp4"));
        EXPECT_FALSE(host.saw("title a"));
        EXPECT_FALSE(logic->PlayVideoItem(item_titled("b", 0)));
        EXPECT_FALSE(host.saw("title b"));
    }
}

TEST_F(PlayLogic, FeedItemQualityFollowsItsMarkAndTheSwitches)
{
    const struct {
        std::int32_t status;
        bool hd_enabled, hd_switch;
        LONG quality;
    } cases[] = {
        {1280, false, false, 2}, {1280, true, false, 2}, {1024, false, true, 1}, {0, false, false, 1},
        {0, true, true, 2},      {0, true, false, 1},    {768, true, true, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.status) + " " + std::to_string(c.hd_enabled) + std::to_string(c.hd_switch));
        restart_recording();
        host.hd_enabled = c.hd_enabled;
        host.hd_switch = c.hd_switch;
        const auto item = item_titled("clip", c.status);
        ASSERT_TRUE(logic->PlayVideoItem(item));
        const auto played = tasks();
        ASSERT_EQ(played.size(), 1u);
        EXPECT_EQ(played[0].quality, c.quality);
        EXPECT_EQ(played[0].url, item.original_media_url);
        EXPECT_EQ(played[0].title, "clip");
        EXPECT_TRUE(host.saw("loading state"));
        EXPECT_TRUE(host.saw("title clip"));
    }
    restart_recording();
    RSSData::tRSSItem no_media = item_titled("text only");
    no_media.original_media_url.clear();
    EXPECT_FALSE(logic->PlayVideoItem(no_media));
    EXPECT_TRUE(control.commands.empty());
}

TEST_F(PlayLogic, FeedItemPlaysItsDownloadedCopyWhenOneExists)
{
    plat::TempFolder dir;
    host.folder = dir.path();
    std::ofstream(dir.path() + "/abc.mp4") << "x";
    std::filesystem::create_directory(dir.path() + "/folder.mp4");
    const struct {
        const char* title;
        std::string local;   // empty: streamed
    } cases[] = {
        {"a/b:c", dir.path() + "/abc.mp4"},
        {"other", ""},
        {"folder", ""},   // a folder of that name is no copy
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        restart_recording();
        const auto item = item_titled(c.title);
        ASSERT_TRUE(logic->PlayVideoItem(item));
        const auto played = tasks();
        ASSERT_EQ(played.size(), 1u);
        EXPECT_EQ(plat::utf16_to_utf8(played[0].local_path), c.local);
        EXPECT_EQ(host.saw("bar 0,1000000000,1000000000"), !c.local.empty());
    }
}

TEST_F(PlayLogic, FeedItemAfterALocalFileGivesTheDownloaderBack)
{
    ASSERT_TRUE(logic->PlayFile(u"/v/a.mp4"));
    restart_recording();
    const auto item = item_titled("clip");
    ASSERT_TRUE(logic->PlayVideoItem(item));
    const auto codes = control.codes();
    ASSERT_GE(codes.size(), 3u);
    EXPECT_EQ((std::vector<LONG>(codes.begin(), codes.begin() + 3)),
              (std::vector<LONG>{CMD_STOP, CMD_CLOSE, CMD_SET_DOWNLOADER}));
    EXPECT_EQ(control.commands[2].pointer, host.downloader);

    // A second item after an item does not stop the first by hand.
    restart_recording();
    ASSERT_TRUE(logic->PlayVideoItem(item));
    EXPECT_EQ(control.codes().front(), CMD_PLAY_NOW);
}

TEST_F(PlayLogic, ReplayReopensWhatPlayedLast)
{
    const auto item = item_titled("clip", 1280);
    const struct {
        const char* name;
        std::function<void(UI::uiLogicFilePlay&)> before;
        std::optional<float> remembered;
        std::u16string local;   // of the reopened task
        std::string url;        // empty: nothing reopened
        const char* seek;
    } cases[] = {
        {"nothing played yet", [](auto&) {}, std::nullopt, u"", "", nullptr},
        {"a local file", [](auto& l) { l.PlayFile(u"/v/a.mp4"); }, std::nullopt, u"/v/a.mp4", "/v/a.mp4", nullptr},
        {"a feed item, back at the remembered place", [&](auto& l) { l.PlayVideoItem(item); }, 42.7f, u"",
         item.original_media_url, "seek 42"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingControl fresh;
        ControlPool::next = &fresh;
        UI::uiLogicFilePlay made(host, {&ControlPool::create, &ControlPool::release});
        c.before(made);
        fresh.commands.clear();
        host.clear();
        host.remembered = c.remembered;
        made.Replay();
        std::vector<PlayTaskInfo> played;
        for (const auto& cmd : fresh.commands)
            if (cmd.code == CMD_PLAY_NOW) played.push_back(cmd.task);
        if (c.url.empty()) {
            EXPECT_TRUE(played.empty());
        } else {
            ASSERT_EQ(played.size(), 1u);
            EXPECT_EQ(played[0].url, c.url);
            EXPECT_EQ(played[0].local_path, c.local);
            EXPECT_EQ(played[0].quality, c.local.empty() ? 2 : 0);
        }
        if (c.seek) {
            EXPECT_TRUE(host.saw(c.seek));
        }
    }
}

TEST_F(PlayLogic, EventsChangeTheScreensAndTheController)
{
    const LONGLONG position64 = 75;
    DownloadTaskInfo ours;
    ours.key = "http://127.0.0.1:9/clip.flv";
    ours.block.total_size = 9000;
    DownloadTaskInfo other = ours;
    other.key = "http://127.0.0.1:9/other.flv";
    const auto item = item_titled("clip");
    ASSERT_TRUE(logic->PlayVideoItem(item));

    const struct {
        const char* name;
        void* sender;
        LONG code;
        INT_PTR value, extra;
        std::vector<std::string> seen;
        std::vector<std::string> not_seen;
    } cases[] = {
        {"position before any duration", nullptr, 4099, 12, 0, {"video position 12"}, {"position 12"}},
        {"duration", nullptr, 16385, 300, 0, {"duration 300"}, {}},
        {"position once there is a duration", nullptr, 4099, 13, 0, {"video position 13", "position 13"}, {}},
        {"64-bit position", nullptr, 16386, INT_PTR(&position64), 1, {"position 75"}, {}},
        {"64-bit position without its flag", nullptr, 16386, INT_PTR(&position64), 0, {}, {"position 75"}},
        {"second duration", nullptr, 4105, 200, 0, {"duration 200"}, {}},
        {"video size", nullptr, 12289, (360 << 16) | 640, 0, {"size 640x360 1.7778"}, {}},
        {"video size with zero height keeps the old one", nullptr, 12289, 640, 0, {}, {"size 640x0"}},
        {"video size with negative height", nullptr, 12289, INT_PTR(LONG(0xFFFF0280)), 0, {}, {"size 640x-1"}},
        {"running", nullptr, 4100, 0, 0, {"state 1"}, {}},
        {"paused", nullptr, 4101, 0, 0, {"state 2"}, {}},
        {"stopped", nullptr, 4102, 0, 0, {"state 3"}, {}},
        {"complete", nullptr, 4103, 0, 0, {"complete"}, {}},
        {"buffering", nullptr, 8193, 0, 0, {"loading mark"}, {}},
        {"data arrived", nullptr, 8198, 0, 0, {"no loading mark"}, {}},
        {"progress of the item in play", &ours, 36869, 100, 400, {"bar 100,400,9000"}, {}},
        {"progress of another item", &other, 36869, 100, 400, {}, {"bar 100,400,9000"}},
        {"progress without a record", nullptr, 36869, 100, 400, {}, {"bar 100,400,9000"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        host.clear();
        EXPECT_EQ(static_cast<IBaseEventHandler&>(*logic).OnEvent(c.sender, c.code, c.value, c.extra), 0);
        for (const auto& s : c.seen) EXPECT_TRUE(host.saw(s)) << s;
        for (const auto& s : c.not_seen) EXPECT_FALSE(host.saw(s)) << s;
    }
}

TEST_F(PlayLogic, EventsFromTheControllersThreadsChangeWidgetsUnderTheRenderLock)
{
    const auto item = item_titled("clip");
    ASSERT_TRUE(logic->PlayVideoItem(item));
    DownloadTaskInfo ours;
    ours.key = item.original_media_url;
    std::thread events([&] {
        auto& handler = static_cast<IBaseEventHandler&>(*logic);
        handler.OnEvent(nullptr, 16385, 60, 0);
        for (LONG s = 0; s < 20; ++s) handler.OnEvent(nullptr, 4099, s, 0);
        handler.OnEvent(nullptr, 8193, 0, 0);
        handler.OnEvent(&ours, 36869, 5, 6);
    });
    events.join();
    EXPECT_TRUE(host.saw("position 19"));
    EXPECT_TRUE(host.saw("bar 5,6,0"));
    // TearDown checks that every screen call held UIRenderMutex.
}

TEST_F(PlayLogic, OpenFilePlaysTheChosenFile)
{
    std::vector<std::vector<std::string>> asked;
    std::optional<plat::ProgramOutput> answer = plat::ProgramOutput{0, "/v/chosen.avi\n"};
    plat::set_chooser_runner([&](const std::vector<std::string>& args) {
        asked.push_back(args);
        return answer;
    });
    EXPECT_TRUE(logic->OpenFile());
    ASSERT_EQ(tasks().size(), 1u);
    EXPECT_EQ(tasks()[0].local_path, u"/v/chosen.avi");
    EXPECT_TRUE(host.saw("title chosen"));
    ASSERT_EQ(asked.size(), 1u);

    restart_recording();
    answer = plat::ProgramOutput{1, ""};   // cancelled
    EXPECT_FALSE(logic->OpenFile());
    EXPECT_TRUE(tasks().empty());
    plat::set_chooser_runner(nullptr);
}

TEST(FileTypes, ExtensionsNameTheirKind)
{
    const struct {
        std::u16string_view path;
        int kind;
        const char* label;
    } cases[] = {
        {u"/a.mpg", 1, "MPG"}, {u"/a.mpeg", 1, "MPG"}, {u"/a.mp4", 2, "MP4"},  {u"/a.rm", 3, "RM"},
        {u"/a.rmvb", 3, "RM"}, {u"/a.wmv", 4, "WMV"},  {u"/a.avi", 5, "AVI"},  {u"/a.flv", 6, "FLV"},
        {u"/a.asf", 7, "ASF"}, {u"/a.3gpp", 8, "3GP"}, {u"/a.mov", 9, "MOV"},  {u"/a.MP4", 0, "UNK"},
        {u"/a", 0, "UNK"},     {u"/a.mkv", 0, "UNK"},  {u"/a.mp4.x", 0, "UNK"}, {u"", 0, "UNK"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(UI::FileKindOf(c.path), c.kind) << plat::utf16_to_utf8(c.path);
        EXPECT_STREQ(UI::FileKindLabel(c.kind), c.label);
    }
    EXPECT_STREQ(UI::FileKindLabel(42), "UNK");
    EXPECT_STREQ(UI::FileKindLabel(-1), "UNK");
}

}
