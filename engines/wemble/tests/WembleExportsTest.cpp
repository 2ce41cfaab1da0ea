#include "engines/wemble/PlayTaskInfo.h"
#include "engines/wemble/tests/PlayTestSupport.h"
#include "outside/ostrel/tests/TestSupport.h"
#include "platform/base/Utf.h"
#include "platform/fs/testing/TempFolder.h"
#include "platform/script/testing/ModuleTesting.h"
#include "platform/sound/AudioHost.h"
#include "platform/sound/AudioOutput.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <dlfcn.h>
#include <fstream>
#include <iterator>
#include <memory>

namespace {

using namespace play_test;

std::size_t count(Listener& listener, LONG code)
{
    std::size_t n = 0;
    for (const Heard& h : listener.heard()) n += h.code == code;
    return n;
}

// The library's exports, loaded as the program loads them. The library
// drives the real video engine over the registered filters.
class WembleLibrary : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(plat::register_modules(STRIMO_REGSVR, {FILTERS_MODULE, QUANDREL_MODULE, MOSSVEIL_MODULE}));
        plat::use_silent_audio(plat::SilentPace::RealTime);
        library = dlopen(WEMBLE_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library, nullptr) << dlerror();
        create = reinterpret_cast<IBaseControl* (*)()>(dlsym(library, "CreatePlayCtrlInstance"));
        release = reinterpret_cast<void (*)(IBaseControl*)>(dlsym(library, "ReleasePlayCtrlInstance"));
        ASSERT_TRUE(create && release);
    }
    void TearDown() override
    {
        if (library) dlclose(library);
        plat::use_silent_audio();
    }

    // A clip ffmpeg makes: `seconds` of a test picture with a tone.
    std::string clip(const std::string& name, int seconds, const std::string& codecs)
    {
        const std::string path = folder / name;
        const std::string d = std::to_string(seconds);
        EXPECT_EQ(std::system(("ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc=size=320x240:rate=25:duration=" + d +
                               " -f lavfi -i sine=frequency=440:sample_rate=44100:duration=" + d + " " + codecs + " '" +
                               path + "'").c_str()),
                  0);
        return path;
    }

    // A clip served on 127.0.0.1, whole or only its first half, and a
    // controller that downloads it through the real download manager and
    // reports to `listener`.
    struct ServedClip {
        ostrel_test::TestServer server;
        std::unique_ptr<IOstrel, void (*)(IOstrel*)> ostrel{nullptr, &ReleaseOstrel};
        IBaseControl* control = nullptr;
    };
    void serve(ServedClip& served, const std::string& name, int seconds, bool first_half_only, Listener& listener)
    {
        const std::string path = clip(name, seconds, "-c:v flv -b:v 800k -c:a libmp3lame -ar 44100 -ac 2");
        std::ifstream in(path, std::ios::binary);
        std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        const std::size_t size = bytes.size();
        served.server.add(name, std::move(bytes), first_half_only ? size / 2 : size);
        served.ostrel.reset(ostrel::create({}));
        ASSERT_TRUE(served.ostrel->Init((folder / "downloads").c_str(), 0));
        served.control = create();
        ASSERT_NE(served.control, nullptr);
        served.control->SendCommand(CMD_SET_DOWNLOADER, served.ostrel.get(), nullptr, 0);
        served.control->SendCommand(CMD_INIT, nullptr, nullptr, 0);
        served.control->SendCommand(CMD_ADD_LISTENER, &listener, nullptr, 0);
    }

    // Releases the way the play logic does: stop, close, drop the listener, destroy.
    void release_as_the_play_logic(IBaseControl* control, Listener& listener)
    {
        control->SendCommand(CMD_STOP, nullptr, nullptr, 0);
        control->SendCommand(CMD_CLOSE, nullptr, nullptr, 0);
        control->SendCommand(CMD_REMOVE_LISTENER, &listener, nullptr, 0);
        release(control);
    }

    plat::TemporaryRegistry registry;
    plat::TempFolder folder;
    void* library = nullptr;
    IBaseControl* (*create)() = nullptr;
    void (*release)(IBaseControl*) = nullptr;
};

TEST_F(WembleLibrary, PlaysALocalClipToItsEnd)
{
    const std::string path = clip("clip.mkv", 2, "-c:v mpeg4 -c:a libmp3lame -ac 2");
    release(nullptr);
    Listener listener;
    IBaseControl* control = create();
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->GetType(), 6);
    control->SendCommand(CMD_INIT, nullptr, nullptr, 0);
    control->SendCommand(CMD_ADD_LISTENER, &listener, nullptr, 0);
    PlayTaskInfo task;
    task.local_path = plat::utf8_to_utf16(path);
    control->SendCommand(CMD_PLAY_NOW, &task, nullptr, 0);
    control->SendCommand(CMD_PLAY_LIST, nullptr, nullptr, 0);
    EXPECT_TRUE(listener.wait_code(EVT_COMPLETE));
    EXPECT_EQ(count(listener, EVT_GRAPH_FAILED), 0u);
    EXPECT_GE(count(listener, EVT_START_PLAYING), 1u);
    EXPECT_TRUE(listener.wait_code(EVT_DURATION));
    release_as_the_play_logic(control, listener);
}

// An address whose download finished before play began: the real engine
// plays it to its end, with no pause for data that is all there (the pause
// and the engine's play on the next tick used to alternate for ever).
TEST_F(WembleLibrary, PlaysAnAddressDownloadedBeforePlayToItsEnd)
{
    Listener listener;
    ServedClip served;
    ASSERT_NO_FATAL_FAILURE(serve(served, "done.flv", 5, false, listener));
    IBaseControl* control = served.control;
    auto task = url_task(served.server.url("done.flv"));
    control->SendCommand(CMD_PLAY_NOW, &task, nullptr, 0);
    ASSERT_TRUE(listener.wait_count(
        [](const Heard& h) { return h.code == EVT_DOWNLOAD_STATE && h.value == DOWNLOAD_FINISHED; }, 1));
    control->SendCommand(CMD_PLAY_LIST, nullptr, nullptr, 0);
    EXPECT_TRUE(listener.wait_code(EVT_COMPLETE));
    EXPECT_EQ(count(listener, EVT_PAUSED), 0u);
    EXPECT_EQ(count(listener, EVT_GRAPH_FAILED), 0u);
    release_as_the_play_logic(control, listener);
}

TEST_F(WembleLibrary, PlaysAnAddressWhileItDownloadsAndReleasesInThePlayLogicsOrder)
{
    Listener listener;
    ServedClip served;
    // Held back half way: the release comes while the item still downloads.
    ASSERT_NO_FATAL_FAILURE(serve(served, "v.flv", 6, true, listener));
    IBaseControl* control = served.control;
    auto task = url_task(served.server.url("v.flv"));
    control->SendCommand(CMD_PLAY_NOW, &task, nullptr, 0);
    control->SendCommand(CMD_PLAY_LIST, nullptr, nullptr, 0);
    ASSERT_TRUE(listener.wait_count([](const Heard& h) { return h.code == EVT_POSITION && h.value >= 1; }, 1));
    EXPECT_EQ(count(listener, EVT_GRAPH_FAILED), 0u);

    control->SendCommand(CMD_STOP, nullptr, nullptr, 0);
    EXPECT_TRUE(listener.wait_code(EVT_STOPPED));
    control->SendCommand(CMD_CLOSE, nullptr, nullptr, 0);
    control->SendCommand(CMD_REMOVE_LISTENER, &listener, nullptr, 0);
    release(control);   // while the item is still downloading
}

}
