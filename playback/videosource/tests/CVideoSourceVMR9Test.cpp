#include "FakeVmr9.h"

#include "playback/videosource/CVideoSourceVMR9.h"

#include "toolkit/render/D3D9Render.h"

#include "platform/d3d9/TextureCaps.h"
#include "platform/d3d9/tests/DeviceRig.h"

#include <gtest/gtest.h>

#include <atomic>

using plat::ComPtr;

namespace {

constexpr auto YUY2 = D3DFORMAT(0x32595559);

struct CountingOwner final : IVideoSourceNotify {
    void FramePresented() override { ++frames; }
    std::atomic<int> frames{0};
};

VMR9AllocationInfo allocation(UINT width, UINT height, DWORD flags = 0, D3DFORMAT format = D3DFMT_X8R8G8B8,
                              SIZE aspect = {0, 0})
{
    return VMR9AllocationInfo{flags, width, height, format, D3DPOOL_DEFAULT, 1, aspect, {LONG(width), LONG(height)}};
}

// A source on a headless software device, attached to a fake renderer in a
// stopped graph, as the play side leaves it before the graph connects.
class Presenter : public ::testing::Test {
protected:
    Presenter()
        : rig(test::make_device(16, 16)),
          graph(ComPtr<FakeGraph>::adopt(new FakeGraph())),
          vmr(ComPtr<FakeVmr9>::adopt(new FakeVmr9(graph.get()))),
          source(ComPtr<CVideoSourceVMR9>::adopt(new CVideoSourceVMR9(&owner, &render)))
    {
        render.SetDevice(rig.device.get());
    }
    ~Presenter() override
    {
        graph->state = State_Stopped;
        source->DetachGraph();
        source->Close();
    }

    HRESULT initialize(VMR9AllocationInfo info, DWORD& buffers)
    {
        return source->InitializeDevice(source->UserId(), &info, &buffers);
    }
    D3DSURFACE_DESC texture_desc()
    {
        ComPtr<IDirect3DTexture9> texture;
        EXPECT_EQ(source->GetTexture(texture.put(), nullptr), S_OK);
        D3DSURFACE_DESC desc{};
        if (texture) texture->GetLevelDesc(0, &desc);
        return desc;
    }
    ComPtr<IDirect3DSurface9> frame(UINT width, UINT height, D3DCOLOR colour)
    {
        ComPtr<IDirect3DSurface9> surface;
        EXPECT_EQ(rig.device->CreateOffscreenPlainSurface(width, height, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT,
                                                          surface.put(), nullptr),
                  D3D_OK);
        rig.device->ColorFill(surface.get(), nullptr, colour);
        return surface;
    }

    test::DeviceRig rig;
    RenderEngine::D3D9Render render;
    CountingOwner owner;
    ComPtr<FakeGraph> graph;
    ComPtr<FakeVmr9> vmr;
    ComPtr<CVideoSourceVMR9> source;
};

TEST_F(Presenter, AttachTurnsTheRendererRenderlessAndAdvisesThisAllocator)
{
    ASSERT_EQ(source->AttachGraph(vmr.get()), S_OK);
    EXPECT_EQ(vmr->allocator_id, source->UserId());
    EXPECT_EQ(vmr->device.get(), rig.device.get());
    EXPECT_EQ(vmr->streams, 3u);   // the mixer keeps the three asked for
    EXPECT_EQ(vmr->mixing_prefs, DWORD(0x1 | MixerPref9_RenderTargetYUV | MixerPref9_NonSquareMixing));
    EXPECT_EQ(source->DetachGraph(), S_OK);
    EXPECT_FALSE(vmr->allocator);
    EXPECT_EQ(source->DetachGraph(), VFW_E_NOT_FOUND);
}

TEST_F(Presenter, AFailedAttachLeavesNothingAttached)
{
    const struct {
        const char* what;
        OAFilterState graph_state;
        DWORD mode_kept;
        bool in_graph;
        HRESULT result;
    } cases[] = {
        {"running graph", State_Running, VMR9Mode_Renderless, true, VFW_E_NOT_STOPPED},
        {"paused graph", State_Paused, VMR9Mode_Renderless, true, VFW_E_NOT_STOPPED},
        {"renderer stays windowed", State_Stopped, VMR9Mode_Windowed, true, VFW_E_WRONG_STATE},
        {"filter in no graph", State_Stopped, VMR9Mode_Renderless, false, E_FAIL},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        graph->state = c.graph_state;
        auto filter = ComPtr<FakeVmr9>::adopt(new FakeVmr9(c.in_graph ? graph.get() : nullptr));
        filter->rendering_mode_kept = c.mode_kept;
        EXPECT_EQ(source->AttachGraph(filter.get()), c.result);
        EXPECT_FALSE(filter->allocator);
        EXPECT_EQ(filter->AddRef(), 2u);   // the source kept no reference
        filter->Release();
        graph->state = State_Stopped;
        EXPECT_EQ(source->DetachGraph(), VFW_E_NOT_FOUND);
    }
    EXPECT_EQ(source->AttachGraph(nullptr), E_POINTER);
}

TEST_F(Presenter, ARefusedMixingPreferenceIsPutBack)
{
    vmr->refuse_mixing_prefs = true;
    const DWORD before = vmr->mixing_prefs;
    EXPECT_EQ(source->AttachGraph(vmr.get()), S_OK);
    EXPECT_EQ(vmr->mixing_prefs, before);
    EXPECT_EQ(vmr->mixing_prefs_set.back(), before);
}

TEST_F(Presenter, InitializeDeviceSizesSurfacesTextureAndPicture)
{
    const struct {
        const char* what;
        DWORD caps;
        VMR9AllocationInfo info;
        DWORD buffers, buffers_after;
        UINT asked_width, asked_height;     // of the renderer's surfaces
        UINT texture_width, texture_height;
        D3DFORMAT texture_format;
        float aspect;
    } cases[] = {
        {"count 0 allocates one", 0, allocation(320, 240), 0, 1, 320, 240, 320, 240, D3DFMT_X8R8G8B8, 320.0f / 240},
        {"power-of-two device widens, the picture stays", D3DPTEXTURECAPS_POW2, allocation(320, 240), 3, 3, 512, 256,
         512, 256, D3DFMT_X8R8G8B8, 320.0f / 240},
        {"conditional sizes keep the texture the picture's size",
         D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_NONPOW2CONDITIONAL, allocation(320, 240), 2, 2, 512, 256, 320, 240,
         D3DFMT_X8R8G8B8, 320.0f / 240},
        {"a FOURCC takes the display's format", 0, allocation(64, 48, 0, YUY2), 1, 1, 64, 48, 64, 48,
         D3DFMT_X8R8G8B8, 64.0f / 48},
        {"the given aspect ratio wins", 0, allocation(720, 576, 0, D3DFMT_X8R8G8B8, {16, 9}), 1, 1, 720, 576, 720,
         576, D3DFMT_X8R8G8B8, 16.0f / 9},
        {"a 1-pixel picture on a strict device", D3DPTEXTURECAPS_POW2, allocation(1, 1), 1, 1, 1, 1, 2, 2,
         D3DFMT_X8R8G8B8, 1.0f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        plat::set_texture_caps(rig.device.get(), c.caps);
        ASSERT_EQ(source->AttachGraph(vmr.get()), S_OK);
        DWORD buffers = c.buffers;
        ASSERT_EQ(initialize(c.info, buffers), S_OK);
        EXPECT_EQ(buffers, c.buffers_after);
        ASSERT_FALSE(vmr->allocations.empty());
        EXPECT_EQ(vmr->allocations.back().dwWidth, c.asked_width);
        EXPECT_EQ(vmr->allocations.back().dwHeight, c.asked_height);
        const D3DSURFACE_DESC desc = texture_desc();
        EXPECT_EQ(desc.Width, c.texture_width);
        EXPECT_EQ(desc.Height, c.texture_height);
        EXPECT_EQ(desc.Format, c.texture_format);
        LONG width = 0, height = 0;
        float aspect = 0;
        EXPECT_EQ(source->GetVideoSize(&width, &height, &aspect), S_OK);
        EXPECT_EQ(width, LONG(c.info.dwWidth));
        EXPECT_EQ(height, LONG(c.info.dwHeight));
        EXPECT_FLOAT_EQ(aspect, c.aspect);
        ASSERT_EQ(source->DetachGraph(), S_OK);
        source->Close();
    }
}

TEST_F(Presenter, AllocatorCallsRefuseWrongIdsAndIndexes)
{
    DWORD buffers = 2;
    VMR9AllocationInfo info = allocation(32, 32);
    EXPECT_EQ(source->InitializeDevice(source->UserId(), &info, &buffers), E_FAIL);   // nothing attached
    ASSERT_EQ(source->AttachGraph(vmr.get()), S_OK);
    const DWORD_PTR wrong = source->UserId() + 1;
    EXPECT_EQ(source->InitializeDevice(source->UserId(), nullptr, &buffers), E_POINTER);
    EXPECT_EQ(source->InitializeDevice(wrong, &info, &buffers), VFW_E_NOT_FOUND);
    ASSERT_EQ(source->InitializeDevice(source->UserId(), &info, &buffers), S_OK);

    ComPtr<IDirect3DSurface9> surface;
    EXPECT_EQ(source->GetSurface(source->UserId(), 1, 0, surface.put()), S_OK);
    EXPECT_TRUE(surface);
    EXPECT_EQ(source->GetSurface(source->UserId(), 2, 0, surface.put()), E_INVALIDARG);   // equal to the count
    EXPECT_EQ(source->GetSurface(source->UserId(), 0, 0, nullptr), E_POINTER);
    EXPECT_EQ(source->GetSurface(wrong, 0, 0, surface.put()), VFW_E_NOT_FOUND);
    EXPECT_EQ(source->TerminateDevice(wrong), VFW_E_NOT_FOUND);
    EXPECT_EQ(source->TerminateDevice(source->UserId()), S_OK);
    EXPECT_EQ(source->StartPresenting(wrong), VFW_E_NOT_FOUND);
    ASSERT_EQ(source->GetSurface(source->UserId(), 0, 0, surface.put()), S_OK);
    VMR9PresentationInfo present{};
    present.lpSurf = surface.get();
    EXPECT_EQ(source->PresentImage(wrong, &present), VFW_E_NOT_FOUND);
    present.lpSurf = nullptr;
    EXPECT_EQ(source->PresentImage(source->UserId(), &present), E_POINTER);
}

TEST_F(Presenter, PresentImageCopiesTheFrameAndTellsTheOwner)
{
    ASSERT_EQ(source->AttachGraph(vmr.get()), S_OK);
    DWORD buffers = 1;
    ASSERT_EQ(initialize(allocation(8, 8), buffers), S_OK);
    ComPtr<IDirect3DTexture9> texture;
    source->GetTexture(texture.put(), nullptr);
    EXPECT_EQ(test::pixel(texture.get(), 3, 3), 0xff000000u);   // opaque black before the first frame

    const auto red = frame(8, 8, 0xffff0000u);
    VMR9PresentationInfo info{};
    info.lpSurf = red.get();
    info.szAspectRatio = {4, 3};
    ASSERT_EQ(source->PresentImage(source->UserId(), &info), S_OK);
    EXPECT_EQ(test::pixel(texture.get(), 3, 3), 0xffff0000u);
    EXPECT_EQ(source->FrameState(), 2u);
    EXPECT_EQ(owner.frames, 1);
    float aspect = 0;
    source->GetVideoSize(nullptr, nullptr, &aspect);
    EXPECT_FLOAT_EQ(aspect, 4.0f / 3);

    const auto green = frame(4, 4, 0xff00ff00u);
    info.lpSurf = green.get();
    info.dwFlags = VMR9Sample_SrcDstRectsValid;
    info.rcSrc = {0, 0, 4, 4};
    info.rcDst = {0, 0, 4, 4};
    ASSERT_EQ(source->PresentImage(source->UserId(), &info), S_OK);
    EXPECT_EQ(test::pixel(texture.get(), 1, 1), 0xff00ff00u);
    EXPECT_EQ(test::pixel(texture.get(), 6, 6), 0xffff0000u);   // outside the destination
}

TEST_F(Presenter, AFailedCopyLeavesTheFrameStateAndTheOwnerAlone)
{
    ASSERT_EQ(source->AttachGraph(vmr.get()), S_OK);
    DWORD buffers = 1;
    ASSERT_EQ(initialize(allocation(8, 8), buffers), S_OK);
    source->SetFrameState(7);
    const auto picture = frame(4, 4, 0xffff0000u);
    VMR9PresentationInfo info{};
    info.lpSurf = picture.get();
    info.dwFlags = VMR9Sample_SrcDstRectsValid;
    info.rcSrc = {0, 0, 9, 9};   // beyond the frame
    info.rcDst = {0, 0, 8, 8};
    EXPECT_EQ(source->PresentImage(source->UserId(), &info), D3DERR_INVALIDCALL);
    EXPECT_EQ(source->FrameState(), 7u);
    EXPECT_EQ(owner.frames, 0);
}

TEST_F(Presenter, TextureSurfacesAreDrawnDirectlyUnlessRefused)
{
    for (const bool refused : {false, true}) {
        SCOPED_TRACE(refused ? "refused" : "made");
        vmr->refuse_texture_surfaces = refused;
        ASSERT_EQ(source->AttachGraph(vmr.get()), S_OK);
        DWORD buffers = 2;
        ASSERT_EQ(initialize(allocation(16, 8, VMR9AllocFlag_3DRenderTarget), buffers), S_OK);
        ComPtr<IDirect3DSurface9> surface0;
        ASSERT_EQ(source->GetSurface(source->UserId(), 0, 0, surface0.put()), S_OK);
        ComPtr<IDirect3DTexture9> drawn, container;
        ASSERT_EQ(source->GetTexture(drawn.put(), nullptr), S_OK);
        surface0->GetContainer(IID_IDirect3DTexture9, container.put_void());
        EXPECT_EQ(drawn.get() == container.get() && drawn, !refused);
        EXPECT_EQ((vmr->allocations.back().dwFlags & VMR9AllocFlag_TextureSurface) != 0, !refused);
        EXPECT_EQ(vmr->allocations.size(), refused ? 2u : 1u);
        ASSERT_EQ(source->DetachGraph(), S_OK);
        source->Close();
        vmr->allocations.clear();
    }
}

TEST_F(Presenter, AttachDetachAndCloseCyclesReleaseEverySurfaceOnce)
{
    for (int cycle = 0; cycle < 3; ++cycle) {
        SCOPED_TRACE(cycle);
        ASSERT_EQ(source->AttachGraph(vmr.get()), S_OK);
        DWORD buffers = 3;
        ASSERT_EQ(initialize(allocation(32, 16, cycle == 1 ? VMR9AllocFlag_3DRenderTarget : 0), buffers), S_OK);
        ASSERT_EQ(source->DetachGraph(), S_OK);
        ASSERT_EQ(source->Close(), S_OK);
        EXPECT_EQ(source->IsActive(), E_FAIL);
        // A device resets only when no default-pool resource is left alive.
        D3DPRESENT_PARAMETERS pp{};
        pp.BackBufferWidth = 16;
        pp.BackBufferHeight = 16;
        pp.Windowed = TRUE;
        vmr->device.reset();
        EXPECT_EQ(rig.device->Reset(&pp), D3D_OK);
    }
}

TEST_F(Presenter, ChangeDeviceTellsTheAttachedRenderer)
{
    EXPECT_EQ(source->ChangeDevice(rig.device.get()), S_OK);
    EXPECT_EQ(vmr->device_changes, 0);
    ASSERT_EQ(source->AttachGraph(vmr.get()), S_OK);
    EXPECT_EQ(source->ChangeDevice(rig.device.get()), S_OK);
    EXPECT_EQ(vmr->device_changes, 1);
}

TEST_F(Presenter, CompositeImageDrawsAStreamWithItsAlpha)
{
    auto target = test::filled_texture(rig.device.get(), 8, 8, 0xff0000ffu, D3DPOOL_DEFAULT, D3DUSAGE_RENDERTARGET);
    ComPtr<IDirect3DSurface9> target_surface;
    target->GetSurfaceLevel(0, target_surface.put());
    const auto red = frame(4, 4, 0xffff0000u);
    VMR9VideoStreamInfo stream{};
    stream.pddsVideoSurface = red.get();
    stream.dwWidth = 4;
    stream.dwHeight = 4;
    stream.fAlpha = 0.5f;
    stream.rNormal = {0.0f, 0.0f, 0.5f, 1.0f};
    ASSERT_EQ(source->CompositeImage(rig.device.get(), target_surface.get(), nullptr, 0, 0, 0, &stream, 1), S_OK);
    const DWORD mixed = test::pixel(target_surface.get(), 1, 4);
    EXPECT_NEAR(int((mixed >> 16) & 0xff), 128, 2);
    EXPECT_NEAR(int(mixed & 0xff), 127, 2);
    EXPECT_EQ((mixed >> 8) & 0xff, 0u);
    EXPECT_EQ(test::pixel(target_surface.get(), 6, 4), 0xff0000ffu);   // outside the stream's rectangle
    EXPECT_EQ(source->TermCompositionDevice(rig.device.get()), S_OK);
}

TEST(CVideoSource, AnswersItsInterfacesAndKeepsNoGraph)
{
    CountingOwner owner;
    auto source = ComPtr<CVideoSourceVMR9>::adopt(new CVideoSourceVMR9(&owner, nullptr));
    for (const IID* iid : {&IID_IUnknown, &IID_IDisplayVideoSource, &IID_IVMRSurfaceAllocator9,
                           &IID_IVMRImagePresenter9, &IID_IVMRImageCompositor9}) {
        ComPtr<IUnknown> answered;
        EXPECT_EQ(source->QueryInterface(*iid, answered.put_void()), S_OK);
    }
    ComPtr<IUnknown> graph;
    EXPECT_EQ(source->GetGraph(graph.put()), VFW_E_NOT_FOUND);
    EXPECT_EQ(source->GetGraph(nullptr), E_POINTER);
    EXPECT_EQ(source->IsActive(), S_OK);
    EXPECT_EQ(source->StartPresenting(source->UserId()), E_UNEXPECTED);   // no device to present on
    LONG width = -1, height = -1;
    EXPECT_EQ(source->GetVideoSize(&width, &height, nullptr), S_OK);
    EXPECT_EQ(width, 0);
    EXPECT_EQ(height, 0);
}

}
