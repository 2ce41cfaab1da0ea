#include "outside/filters/AudioRenderer.h"
#include "outside/filters/Decoders.h"
#include "outside/filters/LavfSplitter.h"
#include "outside/filters/VideoMixingRenderer9.h"
#include "outside/filters/tests/FilterTesting.h"
#include "platform/base/Utf.h"
#include "platform/com/ComObject.h"
#include "platform/d3d9/tests/DeviceRig.h"
#include "platform/dshow/AsyncFileSource.h"
#include "platform/dshow/FilterGraph.h"
#include "platform/dshow/MediaFormats.h"
#include "platform/fs/testing/TempFolder.h"
#include "platform/sound/AudioHost.h"
#include "platform/sound/AudioOutput.h"
#include "playback/videosource/CVideoSourceVMR9.h"
#include "toolkit/render/D3D9Render.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

using plat::ComPtr;

namespace {

constexpr REFERENCE_TIME ms = 10000;

// A presenter that keeps what each picture showed and where the sound stood.
class TestPresenter final : public plat::ComObject<IVMRSurfaceAllocator9, IVMRImagePresenter9> {
public:
    struct Shown {
        REFERENCE_TIME start;
        REFERENCE_TIME sound_at;   // the sound renderer's position when it came
        DWORD centre;
    };

    TestPresenter(IVMRSurfaceAllocatorNotify9* notify, ISinkPosition* sound) : m_notify(notify), m_sound(sound) {}

    HRESULT InitializeDevice(DWORD_PTR, VMR9AllocationInfo* info, DWORD* buffers) override
    {
        m_surfaces.assign(*buffers, nullptr);
        allocation = *info;
        return m_notify->AllocateSurfaceHelper(info, buffers, m_surfaces.data());
    }
    HRESULT TerminateDevice(DWORD_PTR) override { return S_OK; }
    HRESULT GetSurface(DWORD_PTR, DWORD index, DWORD, IDirect3DSurface9** surface) override
    {
        if (index >= m_surfaces.size() || m_surfaces[index] == nullptr) return E_UNEXPECTED;
        *surface = m_surfaces[index];
        (*surface)->AddRef();
        return S_OK;
    }
    HRESULT AdviseNotify(IVMRSurfaceAllocatorNotify9*) override { return S_OK; }
    HRESULT StartPresenting(DWORD_PTR) override { return S_OK; }
    HRESULT StopPresenting(DWORD_PTR) override { return S_OK; }
    HRESULT PresentImage(DWORD_PTR, VMR9PresentationInfo* info) override
    {
        REFERENCE_TIME sound_at = 0;
        if (m_sound) m_sound->GetSinkPosition(&sound_at);
        D3DSURFACE_DESC desc{};
        info->lpSurf->GetDesc(&desc);
        const DWORD centre = test::pixel(info->lpSurf, int(desc.Width / 2), int(desc.Height / 2));
        std::scoped_lock hold(m_lock);
        m_shown.push_back({info->rtStart, sound_at, centre});
        return S_OK;
    }

    std::vector<Shown> shown() const
    {
        std::scoped_lock hold(m_lock);
        return m_shown;
    }
    VMR9AllocationInfo allocation{};

    ~TestPresenter() override
    {
        for (IDirect3DSurface9* s : m_surfaces)
            if (s) s->Release();
    }

private:
    IVMRSurfaceAllocatorNotify9* m_notify;   // not counted: the renderer holds us
    ISinkPosition* m_sound;                  // not counted: the graph holds it
    std::vector<IDirect3DSurface9*> m_surfaces;
    mutable std::mutex m_lock;
    std::vector<Shown> m_shown;   // guarded by m_lock
};

bool reddish(DWORD argb)
{
    return ((argb >> 16) & 0xFF) > 0xC0 && ((argb >> 8) & 0xFF) < 0x40 && (argb & 0xFF) < 0x40;
}

// A second of red pictures (25 a second, MPEG-4) and a tone (MP3) in an AVI
// file, played through the registered splitter, decoders and renderers on
// the silent sound output.
class Renderers : public RegisteredFilters {
protected:
    void SetUp() override
    {
        RegisteredFilters::SetUp();
        sound = &plat::use_silent_audio();
        rig = test::make_device(16, 16);
    }
    void TearDown() override
    {
        if (graph) graph->Stop();
        if (vmr) vmr.as<IVMRSurfaceAllocatorNotify9>()->AdviseSurfaceAllocator(0, nullptr);
        graph = {};
        plat::use_silent_audio();
        RegisteredFilters::TearDown();
    }

    std::string make_clip()
    {
        const std::string path = folder / "red.avi";
        const std::string command = "ffmpeg -nostdin -loglevel error -y -f lavfi -i color=c=red:size=160x120:rate=25:duration=1 "
                                    "-f lavfi -i sine=frequency=440:sample_rate=44100:duration=1 "
                                    "-c:v mpeg4 -c:a libmp3lame -ac 2 '" + path + "'";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        return path;
    }

    // Source, splitter, decoders and the renderers; without `with_sound` the
    // sound stream stays unconnected.
    void build(bool with_sound, DWORD mode)
    {
        source = ComPtr<plat::AsyncFileSource>(new plat::AsyncFileSource());
        ASSERT_EQ(source->Load(plat::utf8_to_utf16(make_clip()).c_str(), nullptr), S_OK);
        ComPtr<IBaseFilter> splitter = create(filters::CLSID_AVISplitter);
        graph->AddFilter(source.get(), u"File Source");
        graph->AddFilter(splitter.get(), u"AVI Splitter");
        ASSERT_EQ(graph->ConnectDirect(source->GetPin(0), pin(splitter.get(), PINDIR_INPUT), nullptr), S_OK);
        vmr = create(filters::CLSID_VideoMixingRenderer9);
        ASSERT_EQ(vmr.as<IVMRFilterConfig9>()->SetRenderingMode(mode), S_OK);
        if (with_sound) speaker = create(filters::CLSID_DSoundRender);
        for (int i = 0; IPin* out = pin(splitter.get(), PINDIR_OUTPUT, i); ++i) {
            const bool is_video = offered_major(out) == MEDIATYPE_Video;
            if (!is_video && !with_sound) continue;
            ComPtr<IBaseFilter> decoder = create(is_video ? filters::CLSID_FlashDecoder : filters::CLSID_KVRAudioDecoder);
            IBaseFilter* renderer = is_video ? vmr.get() : speaker.get();
            graph->AddFilter(decoder.get(), nullptr);
            graph->AddFilter(renderer, is_video ? u"Video Mixing Renderer 9" : u"Default DirectSound Device");
            ASSERT_EQ(graph->ConnectDirect(out, pin(decoder.get(), PINDIR_INPUT), nullptr), S_OK);
            ASSERT_EQ(graph->ConnectDirect(pin(decoder.get(), PINDIR_OUTPUT), pin(renderer, PINDIR_INPUT), nullptr), S_OK);
        }
    }

    // Our presenter on the renderer, with the UI's device.
    ComPtr<TestPresenter> advise_presenter()
    {
        auto notify = vmr.as<IVMRSurfaceAllocatorNotify9>();
        auto presenter = ComPtr<TestPresenter>::adopt(
            new TestPresenter(notify.get(), speaker ? speaker.as<ISinkPosition>().get() : nullptr));
        EXPECT_EQ(notify->SetD3DDevice(rig.device.get(), nullptr), S_OK);
        EXPECT_EQ(notify->AdviseSurfaceAllocator(1, presenter.get()), S_OK);
        return presenter;
    }

    void play_to_the_end()
    {
        LONG code = 0;
        ASSERT_EQ(graph->WaitForCompletion(60000, &code), S_OK);
        EXPECT_EQ(code, EC_COMPLETE);
    }

    plat::TempFolder folder;
    plat::SilentAudioOutput* sound = nullptr;
    test::DeviceRig rig;
    ComPtr<plat::FilterGraph> graph{new plat::FilterGraph()};
    ComPtr<plat::AsyncFileSource> source;
    ComPtr<IBaseFilter> vmr, speaker;
};

}

TEST_F(Renderers, PicturesWaitForTheSoundAndLateOnesAreDropped)
{
    build(true, VMR9Mode_Renderless);
    const ComPtr<TestPresenter> presenter = advise_presenter();
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
    const ComPtr<TestPresenter> presenter = advise_presenter();
    LONGLONG position = -1;
    EXPECT_EQ(graph->GetCurrentPosition(&position), S_OK);
    EXPECT_EQ(position, 0);
    ASSERT_EQ(graph->Run(), S_OK);
    play_to_the_end();
    EXPECT_TRUE(presenter->shown().empty());
    EXPECT_EQ(graph->GetCurrentPosition(&position), S_OK);
    EXPECT_GE(position, 900 * ms);
}

TEST_F(Renderers, TheLandedPresenterShowsThePictures)
{
    struct Owner final : IVideoSourceNotify {
        void FramePresented() override { ++frames; }
        std::atomic<int> frames{0};
    } owner;
    RenderEngine::D3D9Render render;
    render.SetDevice(rig.device.get());
    const auto video = ComPtr<CVideoSourceVMR9>::adopt(new CVideoSourceVMR9(&owner, &render));
    build(true, VMR9Mode_Windowed);
    ASSERT_EQ(video->AttachGraph(vmr.get()), S_OK);
    sound = &plat::use_silent_audio(plat::SilentPace::RealTime);
    ASSERT_EQ(graph->Run(), S_OK);
    play_to_the_end();
    graph->Stop();
    EXPECT_GT(owner.frames.load(), 15);
    ComPtr<IDirect3DTexture9> texture;
    ASSERT_EQ(video->GetTexture(texture.put(), nullptr), S_OK);
    ASSERT_TRUE(texture);
    EXPECT_TRUE(reddish(test::pixel(texture.get(), 80, 60))) << std::hex << test::pixel(texture.get(), 80, 60);
    LONG width = 0, height = 0;
    float aspect = 0;
    video->GetVideoSize(&width, &height, &aspect);
    EXPECT_EQ(width, 160);
    EXPECT_EQ(height, 120);
    EXPECT_EQ(video->DetachGraph(), S_OK);
    video->Close();
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
