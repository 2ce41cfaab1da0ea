#include "playback/compose/demo/ComposeDemo.h"

#include "playback/compose/VMRServer.h"
#include "playback/videosource/CVideoSourceVMR9.h"
#include "playback/visualization/CVisualizationSource.h"

#include "engines/wemble/PlayTaskInfo.h"
#include "outside/quelm/Quelm.h"
#include "outside/quelm/QuelmGraph.h"

#include "toolkit/render/D3D9Render.h"
#include "toolkit/widgets/CMutexGuard.h"

#include "platform/base/Utf.h"
#include "platform/com/ComPtr.h"
#include "platform/d3d9/Direct3D.h"
#include "platform/d3d9/ImageFile.h"
#include "platform/sound/AudioHost.h"
#include "platform/sound/AudioOutput.h"

#include <pthread.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

using plat::ComPtr;
using namespace std::chrono_literals;

namespace {

constexpr LONG margin = 16;   // pixels of background around the picture

// The share of one thread's CPU time in the wall time since construction.
class CpuShare {
public:
    explicit CpuShare(pthread_t thread) : m_thread(thread), m_cpu(cpu_seconds()), m_wall(now()) {}
    double share() const
    {
        const double wall = std::chrono::duration<double>(now() - m_wall).count();
        return wall > 0 ? (cpu_seconds() - m_cpu) / wall : 0;
    }

private:
    static std::chrono::steady_clock::time_point now() { return std::chrono::steady_clock::now(); }
    double cpu_seconds() const
    {
        clockid_t clock{};
        timespec at{};
        if (pthread_getcpuclockid(m_thread, &clock) != 0 || clock_gettime(clock, &at) != 0) return 0;
        return double(at.tv_sec) + double(at.tv_nsec) / 1e9;
    }

    pthread_t m_thread;
    double m_cpu;
    std::chrono::steady_clock::time_point m_wall;
};

// Waits for the end of a play: complete or failed.
class PlayEnd final : public IBaseEventHandler {
public:
    LONG OnEvent(void*, LONG code, INT_PTR, INT_PTR) override
    {
        if (code == EVT_COMPLETE || code == EVT_GRAPH_FAILED) {
            std::scoped_lock hold(m_lock);
            if (m_end == 0) m_end = code;
            m_ended.notify_all();
        }
        return 0;
    }
    // EVT_COMPLETE, EVT_GRAPH_FAILED, or 0 when neither came in time.
    LONG wait(DWORD timeout_ms)
    {
        std::unique_lock hold(m_lock);
        m_ended.wait_for(hold, std::chrono::milliseconds(timeout_ms), [&] { return m_end != 0; });
        return m_end;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_ended;
    LONG m_end{0};   // guarded by m_lock
};

enum class Showing { Nothing, Video, Visualisation };

// The demo's video layer: attaches the source to the renderer the engine
// adds, and draws the source's texture (or, for sound alone, the
// visualisation's) letterboxed into the frame.
class DemoLayer final : public IUo, public IVideoSourceNotify, public IBaseEventHandler {
public:
    DemoLayer(RenderEngine::D3D9Render* render, UINT width, UINT height)
        : m_render(render), m_box{margin, margin, LONG(width) - margin, LONG(height) - margin},
          m_video(ComPtr<CVideoSourceVMR9>::adopt(new CVideoSourceVMR9(this, render))), m_visualisation(render)
    {
    }
    ~DemoLayer() override { m_video->Close(); }

    // The engine's graph notices, on the thread that builds or closes its graph.
    LONG OnEvent(void*, LONG code, INT_PTR value, INT_PTR) override
    {
        if (code == GRAPH_NOTIFY_RENDERER_ADDED) {
            if (SUCCEEDED(m_video->AttachGraph(reinterpret_cast<IBaseFilter*>(value)))) m_showing = Showing::Video;
        } else if (code == GRAPH_NOTIFY_GRAPH_GONE) {
            m_showing = Showing::Nothing;
            m_video->DetachGraph();
        }
        return 0;
    }

    // Sound alone: the visualisation reads reader from now on; null stops it.
    void show_visualisation(ISampleReader* reader)
    {
        m_visualisation.SetSampleReader(reader);
        CMutexGuard hold(UIRenderMutex());
        m_frame_number = 0;
        m_showing = reader ? Showing::Visualisation : Showing::Nothing;
    }
    bool showing_video() const { return m_showing == Showing::Video; }

    // On the renderer's streaming thread.
    void FramePresented() override
    {
        ++m_presented;
        m_fresh = true;
    }

    bool IsLayerActive() override { return true; }
    bool NeedsRedraw() override
    {
        if (!m_thread_known) {
            m_compose_thread = pthread_self();
            m_thread_known = true;
        }
        switch (m_showing.load()) {
        case Showing::Video: return m_fresh.exchange(false);
        case Showing::Visualisation: ++m_frame_number; return true;   // the sound moves on every frame
        case Showing::Nothing: break;
        }
        return false;
    }
    long Render() override;

    // The compose thread, once it has run a frame.
    pthread_t compose_thread()
    {
        while (!m_thread_known) std::this_thread::sleep_for(1ms);
        return m_compose_thread;
    }
    void reset_counts()
    {
        m_presented = 0;
        m_drawn = 0;
        m_changed = 0;
    }
    int presented() const { return m_presented; }
    int drawn() const { return m_drawn; }
    int changed() const { return m_changed; }
    // Read under UIRenderMutex.
    RECT picture() const { return m_picture; }

private:
    ComPtr<IDirect3DTexture9> current_texture(float& aspect);
    RECT fit(float aspect) const;
    void draw(IDirect3DDevice9* device, IDirect3DTexture9* texture, const RECT& at);
    void count_change(IDirect3DDevice9* device, const RECT& at);

    RenderEngine::D3D9Render* const m_render;
    const RECT m_box;   // where the picture may lie
    const ComPtr<CVideoSourceVMR9> m_video;
    CVisualizationSource m_visualisation;
    std::atomic<Showing> m_showing{Showing::Nothing};
    std::atomic<bool> m_fresh{false};   // a frame was presented since the last draw
    std::atomic<int> m_presented{0};
    std::atomic<int> m_drawn{0};
    std::atomic<int> m_changed{0};
    std::atomic<bool> m_thread_known{false};
    pthread_t m_compose_thread{};    // written once before m_thread_known is set
    LONGLONG m_frame_number{0};      // guarded by UIRenderMutex
    RECT m_picture{0, 0, 0, 0};      // guarded by UIRenderMutex
    std::uint64_t m_last_hash{0};    // compose thread only
};

long DemoLayer::Render()
{
    float aspect = 0;
    const ComPtr<IDirect3DTexture9> texture = current_texture(aspect);
    if (!texture) return 0;
    const auto device = ComPtr<IDirect3DDevice9>::adopt(m_render->GetDevice());
    m_picture = fit(aspect);
    draw(device.get(), texture.get(), m_picture);
    count_change(device.get(), m_picture);
    return 0;
}

ComPtr<IDirect3DTexture9> DemoLayer::current_texture(float& aspect)
{
    ComPtr<IDirect3DTexture9> texture;
    if (m_showing == Showing::Visualisation) {
        // The position the video layer asks for: its frame number at 30 frames a second.
        m_visualisation.RenderFrame(m_frame_number * 10'000'000 / 30);
        aspect = float(CVisualizationSource::frame_width) / float(CVisualizationSource::frame_height);
        return m_visualisation.Texture();
    }
    if (m_showing == Showing::Video && SUCCEEDED(m_video->GetTexture(texture.put(), nullptr)) && texture) {
        LONG width = 0, height = 0;
        m_video->GetVideoSize(&width, &height, &aspect);
        if (aspect <= 0 && height > 0) aspect = float(width) / float(height);
    }
    return texture;
}

// The largest rectangle of the picture's aspect centred in the box.
RECT DemoLayer::fit(float aspect) const
{
    const LONG box_w = m_box.right - m_box.left, box_h = m_box.bottom - m_box.top;
    if (aspect <= 0) return m_box;
    LONG w = box_w, h = LONG(float(box_w) / aspect + 0.5f);
    if (h > box_h) {
        h = box_h;
        w = std::min(box_w, LONG(float(box_h) * aspect + 0.5f));
    }
    const LONG left = m_box.left + (box_w - w) / 2, top = m_box.top + (box_h - h) / 2;
    return RECT{left, top, left + w, top + h};
}

void DemoLayer::draw(IDirect3DDevice9* device, IDirect3DTexture9* texture, const RECT& at)
{
    struct Vertex {
        float x, y, z, rhw, u, v;
    };
    const float l = float(at.left), t = float(at.top), r = float(at.right), b = float(at.bottom);
    const Vertex quad[4] = {{l, t, 0, 1, 0, 0}, {r, t, 0, 1, 1, 0}, {l, b, 0, 1, 0, 1}, {r, b, 0, 1, 1, 1}};
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    device->SetTexture(0, texture);
    device->SetFVF(D3DFVF_XYZRHW | D3DFVF_TEX1);
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Vertex));
    device->SetTexture(0, nullptr);
}

// Counts the drawn frame, and as changed when its picture differs from the
// one drawn before (FNV-1a over the picture's pixels).
void DemoLayer::count_change(IDirect3DDevice9* device, const RECT& at)
{
    ComPtr<IDirect3DSurface9> back;
    D3DLOCKED_RECT locked{};
    if (FAILED(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.put())) ||
        FAILED(back->LockRect(&locked, &at, D3DLOCK_READONLY)))
        return;
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (LONG y = 0; y < at.bottom - at.top; ++y) {
        const auto* row = reinterpret_cast<const DWORD*>(static_cast<const BYTE*>(locked.pBits) + y * locked.Pitch);
        for (LONG x = 0; x < at.right - at.left; ++x) hash = (hash ^ row[x]) * 0x100000001b3ull;
    }
    back->UnlockRect();
    if (m_drawn++ > 0 && hash != m_last_hash) ++m_changed;
    m_last_hash = hash;
}

}

struct ComposeDemo::Parts {
    Parts(UINT width, UINT height)
    {
        d3d = ComPtr<IDirect3D9>::adopt(Direct3DCreate9(D3D_SDK_VERSION));
        D3DPRESENT_PARAMETERS params{};
        params.BackBufferWidth = width;
        params.BackBufferHeight = height;
        params.BackBufferFormat = D3DFMT_X8R8G8B8;
        params.SwapEffect = D3DSWAPEFFECT_DISCARD;
        params.Windowed = TRUE;
        // Multithreaded: the renderer's streaming thread copies frames while the compose thread draws.
        if (d3d) d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_MULTITHREADED, &params, device.put());
        render.SetDevice(device.get());
        layer = new DemoLayer(&render, width, height);
        server = new VMRServer();
        server->AddRef();
        server->AddLayer(layer);
        server->Start(&render);
    }
    ~Parts()
    {
        server->Stop();
        server->RemoveLayer(layer);
        server->Release();
        delete layer;
    }

    ComPtr<IDirect3D9> d3d;
    ComPtr<IDirect3DDevice9> device;
    RenderEngine::D3D9Render render;
    DemoLayer* layer{nullptr};   // owned; goes once the compose thread has stopped
    VMRServer* server{nullptr};  // counted
};

ComposeDemo::ComposeDemo(UINT width, UINT height) : m_width(width), m_height(height)
{
    plat::use_silent_audio(plat::SilentPace::RealTime);
    m_parts = std::make_unique<Parts>(width, height);
}

ComposeDemo::~ComposeDemo() = default;

ComposeDemoReport ComposeDemo::play(const std::string& clip, DWORD timeout_ms)
{
    ComposeDemoReport report;
    DemoLayer& layer = *m_parts->layer;
    layer.reset_counts();
    RegisterQuelmGraphNotify(&layer);
    IBaseControl* engine = CreateQuelmInstance();
    if (engine == nullptr) {
        RegisterQuelmGraphNotify(nullptr);
        return report;
    }
    PlayEnd end;
    engine->SendCommand(CMD_ADD_LISTENER, static_cast<IBaseEventHandler*>(&end), nullptr, 0);
    PlayTaskInfo task;
    task.local_path = plat::utf8_to_utf16(clip);
    const CpuShare playing(layer.compose_thread());
    if (engine->SendCommand(CMD_PLAY_NOW, &task, nullptr, 0) == 1) {
        // The renderer came while the graph was built; without one the sound is shown.
        report.video = layer.showing_video();
        if (!report.video) {
            ISampleReader* reader = nullptr;
            engine->SendCommand(CMD_SAMPLE_READER, &reader, nullptr, 0);
            layer.show_visualisation(reader);
            if (reader) reader->Release();
        }
        report.complete = end.wait(timeout_ms) == EVT_COMPLETE;
    }
    report.playing_cpu = playing.share();
    {
        CMutexGuard hold(UIRenderMutex());   // between frames: the back buffer holds the last one
        report.picture = layer.picture();
        ComPtr<IDirect3DSurface9> back;
        D3DLOCKED_RECT locked{};
        m_frame.assign(std::size_t(m_width) * m_height, 0);
        if (SUCCEEDED(m_parts->device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.put())) &&
            SUCCEEDED(back->LockRect(&locked, nullptr, D3DLOCK_READONLY))) {
            for (UINT y = 0; y < m_height; ++y)
                std::copy_n(reinterpret_cast<const std::uint32_t*>(static_cast<const BYTE*>(locked.pBits) +
                                                                   std::size_t(y) * locked.Pitch),
                            m_width, m_frame.begin() + std::ptrdiff_t(y * m_width));
            back->UnlockRect();
        }
    }
    engine->SendCommand(CMD_CLOSE, nullptr, nullptr, 0);
    layer.show_visualisation(nullptr);
    const CpuShare idle(layer.compose_thread());
    std::this_thread::sleep_for(1s);
    report.idle_cpu = idle.share();
    engine->SendCommand(CMD_REMOVE_LISTENER, static_cast<IBaseEventHandler*>(&end), nullptr, 0);
    ReleaseQuelmInstance(engine);
    RegisterQuelmGraphNotify(nullptr);
    report.presented = layer.presented();
    report.drawn = layer.drawn();
    report.changed = layer.changed();
    return report;
}

bool ComposeDemo::save_png(const std::string& path, std::string& error) const
{
    if (m_frame.empty()) {
        error = "no frame was drawn";
        return false;
    }
    return plat::encode_image_file(path, plat::ImageFileKind::Png, m_frame.data(), int(m_width), int(m_height),
                                   int(m_width), error);
}
