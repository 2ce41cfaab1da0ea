#include "outside/filters/testing/RecordingPresenter.h"
#include "outside/filters/testing/RendererGraph.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

using filters_testing::RecordingPresenter;
using filters_testing::reddish;
using plat::ComPtr;

namespace {

constexpr REFERENCE_TIME ms = 10000;

class Renderers : public filters_testing::RendererGraph {
protected:
    // The recording presenter on the renderer, with the UI's device.
    ComPtr<RecordingPresenter> advise_presenter()
    {
        auto notify = vmr.as<IVMRSurfaceAllocatorNotify9>();
        auto presenter = ComPtr<RecordingPresenter>::adopt(
            new RecordingPresenter(notify.get(), speaker ? speaker.as<ISinkPosition>().get() : nullptr));
        EXPECT_EQ(notify->SetD3DDevice(rig.device.get(), nullptr), S_OK);
        EXPECT_EQ(notify->AdviseSurfaceAllocator(1, presenter.get()), S_OK);
        return presenter;
    }
};

}

TEST_F(Renderers, PicturesWaitForTheSoundAndLateOnesAreDropped)
{
    build(true, VMR9Mode_Renderless);
    const ComPtr<RecordingPresenter> presenter = advise_presenter();
    ASSERT_EQ(graph->Run(), S_OK);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_LE(presenter->shown().size(), 1u) << "no sound went out: the clock stood still";
    // A fifth of a second of sound at once: the pictures it passed are late.
    sound->render(44100 / 5);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    sound = &plat::use_silent_audio(plat::SilentPace::RealTime);
    play_to_the_end();

    const auto shown = presenter->shown();
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.front().start, 0);
    EXPECT_EQ(presenter->allocation.dwWidth, 160u);
    EXPECT_EQ(presenter->allocation.dwHeight, 120u);
    std::size_t after_the_jump = 0;
    for (const auto& s : shown) {
        SCOPED_TRACE(s.start / ms);
        EXPECT_FALSE(s.start >= 40 * ms && s.start <= 120 * ms) << "a late picture was shown";
        EXPECT_GE(s.sound_at, s.start - 60 * ms) << "a picture came before its sound";
        EXPECT_TRUE(reddish(s.centre)) << std::hex << s.centre;
        if (s.start >= 280 * ms) ++after_the_jump;
    }
    EXPECT_GE(after_the_jump, 12u) << "of the 18 pictures after the jump";
    LONGLONG position = 0;
    EXPECT_EQ(graph->GetCurrentPosition(&position), S_OK);
    EXPECT_GE(position, 900 * ms);
}

TEST_F(Renderers, WindowlessShowsNothingButKeepsTime)
{
    build(false, VMR9Mode_Windowless);
    const ComPtr<RecordingPresenter> presenter = advise_presenter();
    LONGLONG position = -1;
    EXPECT_EQ(graph->GetCurrentPosition(&position), S_OK);
    EXPECT_EQ(position, 0);
    ASSERT_EQ(graph->Run(), S_OK);
    play_to_the_end();
    EXPECT_TRUE(presenter->shown().empty());
    EXPECT_EQ(graph->GetCurrentPosition(&position), S_OK);
    EXPECT_GE(position, 900 * ms);
}

TEST_F(Renderers, VolumeIsHundredthsOfADecibelFromSilenceToFull)
{
    const struct {
        LONG volume;
        HRESULT result;
    } cases[] = {{0, S_OK}, {-2000, S_OK}, {-10000, S_OK}, {1, E_INVALIDARG}, {-10001, E_INVALIDARG}, {10000, E_INVALIDARG}};
    for (const CLSID& clsid : {filters::CLSID_DSoundRender, filters::CLSID_AudioRender}) {
        const ComPtr<IBasicAudio> audio = create(clsid).as<IBasicAudio>();
        ASSERT_TRUE(audio);
        for (const auto& c : cases) {
            SCOPED_TRACE(c.volume);
            ASSERT_EQ(audio->put_Volume(-500), S_OK);
            EXPECT_EQ(audio->put_Volume(c.volume), c.result);
            LONG now = 1;
            EXPECT_EQ(audio->get_Volume(&now), S_OK);
            EXPECT_EQ(now, SUCCEEDED(c.result) ? c.volume : -500) << "a refused volume leaves the last one";
        }
        EXPECT_EQ(audio->put_Balance(10001), E_INVALIDARG);
        EXPECT_EQ(audio->put_Balance(-10000), S_OK);
    }
}

TEST_F(Renderers, TheVolumeIsHeard)
{
    build(true, VMR9Mode_Windowless);
    const ComPtr<IBasicAudio> volume = graph.as<IBasicAudio>();
    ASSERT_EQ(volume->put_Volume(-2000), S_OK);   // a tenth of the amplitude
    ASSERT_EQ(graph->Run(), S_OK);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    sound->render(44100 / 2);
    int peak = 0;
    for (std::int16_t s : sound->recording()) peak = std::max(peak, std::abs(int(s)));
    // The tone's own peak is an eighth of full scale (4096).
    EXPECT_GT(peak, 200);
    EXPECT_LT(peak, 800);
}
