#include "platform/sound/AudioHost.h"
#include "platform/sound/AudioOutput.h"
#include "platform/sound/DirectSound.h"
#include "platform/sound/Mixer.h"

#include "platform/fs/testing/ScopedEnvironment.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

namespace {

// The device thread mixes while this thread plays, changes volume and refills:
// the mixer's lock must keep them apart (this case also runs under ThreadSanitizer).
TEST(SdlAudioOutput, PlaysThroughTheDeviceThreadToTheEnd)
{
    plat::ScopedEnvironment driver("SDL_AUDIODRIVER", "dummy");
    plat::Mixer mixer;
    auto output = plat::SdlAudioOutput::open(mixer);
    if (!output)
        GTEST_SKIP() << "SDL has no dummy audio driver here";

    const WAVEFORMATEX format{WAVE_FORMAT_PCM, 2, 22050, 88200, 4, 16, 0};
    std::vector<plat::Mixer::VoicePtr> voices;
    const std::vector<std::byte> loud(2205 * 4, std::byte{0x40});   // 0.1 s
    for (int i = 0; i < 4; ++i) {
        voices.push_back(mixer.add_voice(format, loud.size()));
        ASSERT_EQ(mixer.write(*voices.back(), 0, loud), DS_OK);
        mixer.set_volume(*voices.back(), -600 * i);
        ASSERT_EQ(mixer.play(*voices.back()), DS_OK);
    }
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    auto playing = [&] {
        for (const auto& v : voices)
            if (mixer.status(*v) & DSBSTATUS_PLAYING)
                return true;
        return false;
    };
    while (playing() && std::chrono::steady_clock::now() < give_up) {
        mixer.set_volume(*voices[0], -100);
        std::this_thread::yield();
    }
    EXPECT_FALSE(playing());
}

// SDL keeps state for each thread that calls it (its error text) and frees it
// itself only for threads it made. A player's thread opens the device, or fails
// to, and ends long before the process: nothing of SDL's may stay behind it (the
// process's leak check at exit is what sees it). Each case runs on its own mixer,
// opening and closing on the thread; the last one opens the process's output
// there and leaves it to be closed at the exit, as the player does.
TEST(SdlAudioOutput, ThreadsThatOpenTheDeviceLeaveNothingOfSdlBehind)
{
    const struct { const char* driver; bool opens; } cases[] = {{"dummy", true}, {"no-such-driver", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.driver);
        plat::ScopedEnvironment driver("SDL_AUDIODRIVER", c.driver);
        plat::Mixer mixer;
        bool opened = false;
        std::thread([&] { opened = plat::SdlAudioOutput::open(mixer) != nullptr; }).join();
        if (c.opens && !opened)
            GTEST_SKIP() << "SDL has no dummy audio driver here";
        EXPECT_EQ(opened, c.opens);
    }
    plat::ScopedEnvironment driver("SDL_AUDIODRIVER", "dummy");
    std::thread([] { plat::open_audio_output(); }).join();
}

}
