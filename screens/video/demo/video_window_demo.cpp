// video_window_demo --out DIR: the video play window over a composed main
// window, headless, with a still evening picture where a playing video would
// be. It grows out of a clicked row, plays centred, glides to the corner,
// comes back and shrinks to the warning strip, saving one PNG per state in
// DIR (screens-3-centre.png, -corner.png, -back.png, -warning.png). Fails
// when a state is not reached or a picture the screen asks for is missing.

#include "screens/video/testing/TestPatternSource.h"
#include "screens/video/uiPlayerLogic.h"
#include "screens/video/uiVideoLayer.h"
#include "screens/video/videoplaywindow.h"
#include "screens/video/wcontrolbar.h"

#include "toolkit/controls/demo/SkinScreen.h"
#include "toolkit/controls/wtext.h"
#include "toolkit/render/backbuffer.h"
#include "toolkit/render/render.h"
#include "toolkit/resmgr/d3dresMgr.h"
#include "toolkit/uimgr/uiMgr.h"

#include "platform/base/Utf.h"
#include "platform/d3d9/ImageFile.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int Width = 1024;
constexpr int Height = 700;
constexpr UI::fcolor Ink = UI::SkinInk;
constexpr UI::fcolor Light = UI::SkinLight;

// The demo's controller: logic command 21 runs after the frame, as on the
// logic thread; the warning page is a line of text in the strip.
class DemoLogic : public UI::uiPlayerLogic {
public:
    UI::videoplaywindow* video{nullptr};
    UI::wtext* warning{nullptr};
    int refreshes{0};

    void PostUICommand(int) override {}
    void PostLogicCommand(int command) override { refreshes += command == UI::videoplaywindow::RefreshWidget; }
    int GetVolume() override { return 60; }
    void SetVolume(int) override {}
    void Seek(int) override {}
    void SetVideoViewState(int) override {}
    bool IsFullScreenVideo() override { return false; }
    void SetPlayingItemFavorite(bool) override {}
    void ShowPagingControls(bool) override {}
    void ShowWarningPage(int) override
    {
        warning->SetPos(video->GetX(), video->GetY());
        warning->SetSize(video->GetWidth(), video->GetHeight());
        warning->Show(true);
    }
    void RunLogic()
    {
        for (; refreshes > 0; --refreshes) video->UpdateParent();
    }
};

// A thumbnail of the evening at that hour, written as PNG into folder and
// loaded by its path; the picture's name, or black when it cannot be made.
std::string thumbnail(UI::d3dresMgr& manager, const std::filesystem::path& folder, int index, float hour)
{
    constexpr int W = 124, H = 96;   // twice the shown size, drawn down smoothly
    const std::vector<DWORD> pixels = test::TestPatternSource::EveningPixels(W, H, hour);
    const std::string path = (folder / ("thumb" + std::to_string(index) + ".png")).string();
    std::string error, name;
    if (!plat::encode_image_file(path, plat::ImageFileKind::Png, pixels.data(), W, H, W, error) ||
        !manager.LoadPictureByPath(plat::utf8_to_utf16(path), name))
        return "black_image";
    return name;
}

// The main window around the video: frames and a feed list on the left, in a
// client window under the video window's depth, and the bottom frame.
UI::window* compose_main_window(UI::window& root, UI::d3dresMgr& manager, const std::filesystem::path& pictures)
{
    auto* client = new UI::window("client");
    client->SetSize(Width, Height);
    client->SetZOrder(1);
    root.AddChild(client);
    UI::SkinScreen g(*client);
    g.image("black_image", 0, 0, Width, Height);
    g.image("topframe", 0, 0, Width, 32, {8, 8, 8, 8});
    g.image("logo", 8, 5);
    g.button("btnminimize", Width - 66, 8);
    g.button("btnmaximize", Width - 46, 8);
    g.button("btnclose", Width - 26, 8);
    g.image("leftframe", 0, 32, 4, Height - 62, {2, 4, 2, 4});
    g.image("rightframe", Width - 4, 32, 4, Height - 62, {2, 4, 2, 4});
    const char16_t* rows[] = {u"Evening news in brief", u"Harbour lights at dusk", u"A walk through the old town",
                              u"Making bread at home", u"Mountain railway, full ride", u"Jazz quartet live"};
    for (int i = 0; i < 6; ++i) {
        const float y = 48 + i * 70;
        if (i == 1) g.image("rssitemhighlight", 12, y, 600, 62, {8, 8, 8, 8});   // the row clicked
        g.image(thumbnail(manager, pictures, i, float(i) / 5), 20, y + 7, 62, 48);
        g.text(rows[i], 92, y + 8, 500, 20, Light, "font_a12b");
        g.text(u"12 minutes, added today", 92, y + 32, 500, 18, Light);
    }
    auto* bottom = new UI::window("bottomframe-window");
    bottom->SetSize(Width, 30);
    root.AddChild(bottom);
    bottom->SetPosRule(1, 2, 0, 0);
    auto* band = new UI::wimage("wimage-bottomframe");
    band->SetPicture("bottomframe", {8, 8, 8, 8});
    bottom->AddChild(band);
    band->SetSizeRule(2, 2, 0, 0);
    return bottom;
}

struct Demo {
    UI::window root{"root"};
    UI::window* overlay{new UI::window("rootui")};
    UI::videoplaywindow* video{new UI::videoplaywindow("videoplaywindow")};
    UI::wcontrolbar* bar{new UI::wcontrolbar("wcontrolbar")};
    DemoLogic logic;
    std::unique_ptr<RenderEngine::backbuffer> canvas;

    void frame()
    {
        RenderEngine::PushRenderTarget(canvas.get(), true, 0, 18, 18, 18);
        root.Draw();
        RenderEngine::PopRenderTarget();
        logic.RunLogic();
    }
    bool frames_until(UI::videoposstatus state)
    {
        for (int i = 0; i < 400 && video->CurrentState() != state; ++i) frame();
        for (int i = 0; i < 5; ++i) frame();
        return video->CurrentState() == state;
    }
    void frames(int n)
    {
        for (int i = 0; i < n; ++i) frame();
    }
};

bool shot(Demo& d, const std::filesystem::path& folder, const char* name, bool reached)
{
    const std::string path = (folder / name).string();
    if (!reached) {
        std::fprintf(stderr, "video_window_demo: the state of %s was not reached\n", name);
        return false;
    }
    if (!UI::save_png(d.canvas.get(), path.c_str())) {
        std::fprintf(stderr, "video_window_demo: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

void build(Demo& d, UI::d3dresMgr& manager, const std::filesystem::path& pictures)
{
    d.root.SetSize(Width, Height);
    UI::window* bottom = compose_main_window(d.root, manager, pictures);
    UI::SkinScreen g(d.root);
    d.overlay->SetSize(Width, Height);
    d.overlay->SetMouseTransparent(true);
    d.root.AddChild(d.overlay);
    d.overlay->SetZOrder(800);
    UI::uiMgr::Instance().SetRoot(&d.root);
    UI::uiMgr::Instance().SetOverlayRoot(d.overlay);
    UI::uiMgr::Instance().SetVideoWindow(d.video);

    d.root.AddChild(d.bar);
    d.bar->CreateChildren(*bottom, d.root);
    d.bar->SetPosRule(4, 2, 0, 36);
    d.bar->SetLogic(&d.logic);
    d.bar->SetTitle(u"Harbour lights at dusk");
    d.bar->SetDuration(3725);
    d.bar->SetPosition(1325);
    d.bar->SetBufferRange(0, 2300, 3725);
    d.bar->SetVolumePercent(60);
    d.bar->ShowPauseButton();

    d.video->SetSize(481, 364);
    d.root.AddChild(d.video);
    d.video->CreateChildren();
    d.video->SetLogic(&d.logic);
    d.logic.video = d.video;
    d.logic.warning = g.text(u"This video cannot be played here.", 0, 0, 10, 10, UI::SkinWhite, "font_a12b", 1 | 4 | 32);
    d.logic.warning->SetZOrder(900);
    d.logic.warning->Show(false);
    d.root.UpdateLayout();
    d.canvas.reset(manager.CreateBackBuffer(Width, Height, true));
}

}  // namespace

int main(int argc, char** argv)
{
    const char* out = argc == 3 && std::strcmp(argv[1], "--out") == 0 ? argv[2] : nullptr;
    if (!out) {
        std::fprintf(stderr, "usage: video_window_demo --out DIR\n");
        return 2;
    }
    std::filesystem::create_directories(out);
    // The rows' thumbnails, made for the run.
    const std::filesystem::path pictures = std::filesystem::path(out) / "video_window_demo-thumbnails";
    std::filesystem::create_directories(pictures);
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("STRIMO_SCREEN_SIZE", "1024x700", 0);
    UI::SkinRenderer skin;
    UI::d3dresMgr& manager = skin.manager();

    int result = 0;
    {
        UI::uiVideoLayer layer;
        auto source = plat::ComPtr<test::TestPatternSource>::adopt(test::TestPatternSource::Create(
            &layer, skin.device(), 640, 360, test::TestPatternSource::Picture::Evening));
        layer.SetVideoSource(source.get());
        Demo d;
        build(d, manager, pictures);
        if (UI::count_missing_pictures(manager, "video_window_demo")) result = 1;

        d.video->BeginLoadIn(20, 48 + 70 + 7, 62, 48);
        d.frames(40);
        d.video->StopLoadIn();
        d.video->SetVideoSize(640, 360);
        d.frames(80);
        d.video->SetFitMode(1, false);
        d.video->SetFitMode(0, true);
        d.frames(60);
        const std::filesystem::path folder(out);
        bool ok = shot(d, folder, "screens-3-centre.png", d.video->CurrentState() == UI::vpsCenter);
        d.video->MoveToRightTop();
        ok = shot(d, folder, "screens-3-corner.png", d.frames_until(UI::vpsRightTop)) && ok;
        d.video->MoveToCenter();
        ok = shot(d, folder, "screens-3-back.png", d.frames_until(UI::vpsCenter)) && ok;
        d.video->ResetView();
        d.frames(60);
        ok = shot(d, folder, "screens-3-warning.png", d.logic.warning->IsVisible()) && ok;
        if (!ok) result = 1;
        UI::uiMgr::Instance().SetRoot(nullptr);
        UI::uiMgr::Instance().SetOverlayRoot(nullptr);
    }
    std::error_code ignored;
    std::filesystem::remove_all(pictures, ignored);
    return result;
}
