#pragma once
// The view of an item's description inside the list: the description is
// written into the program's item page, measured at a width of 613 and
// painted into a texture that the widget draws. Nothing in the page runs;
// only its pictures are fetched, off the UI thread, and each arrival
// rebuilds the picture on the UI thread. Every rebuild fires the global
// event "IE_update" with the content size.
//
// A view may be made, loaded and freed on any thread: its page is written on
// the main window's thread under UIRenderMutex, which Load, SetThumbnail and
// the destructor take too, so a view is never freed mid-rebuild.

#include "toolkit/widgets/window.h"

#include <memory>
#include <string>
#include <string_view>

struct IDirect3DTexture9;

namespace RenderEngine {
class texture;
}

namespace plat::html {
struct FetchedPicture;
}

namespace UI {

class feedlistLogic;

// The program's item page (its HTML resource 1002), into which a description
// is written, and the style then added to it.
inline constexpr std::string_view ItemPage =
    "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\"></head>"
    "<body id=\"CHtmlTestDlg\">";
inline constexpr std::string_view ItemStyle =
    "*{color:#bcbcbc}body{background:#121212;font-family: Arial, Helvetica, sans-serif;font-size: 12px}"
    "img{border:none}a:link{text-decoration:none;}";

// "IE_update": the content size after a rebuild.
struct IEUpdateEventArgs : EventArgs {
    float width{0};
    float height{0};
};

class wie : public window {
public:
    explicit wie(std::string name);
    ~wie() override;

    // Starts showing a description (UTF-8). The flag (the item's read mark)
    // means nothing to the view; nothing here reads it.
    // The page is written on the UI thread's next message, so a listener
    // subscribed right after this call sees the first "IE_update".
    void Load(const std::string& html, bool read);
    // The thumbnail's web address and the local file that holds it.
    void SetThumbnail(const std::string& address, const std::string& local_path);
    void SetLogic(feedlistLogic* logic) { m_logic = logic; }
    void Draw() override;

    fpoint GetContentSize() const { return m_content; }
    // The thumbnail's place in the page and its size.
    frect GetThumbnailRect() const { return m_thumb; }
    // The rendered picture, with a reference added; null before the first paint.
    IDirect3DTexture9* GetPictureTexture() const;
    bool IsLoaded() const { return m_loaded; }
    // The page names a thumbnail whose picture has not come (yet, or ever):
    // its box shows an empty tile.
    bool IsThumbnailMissing() const { return m_thumb_missing; }

private:
    struct Inbox;
    struct Page;

    void OnArrivals();
    void DocumentComplete();
    void OnPicture(const plat::html::FetchedPicture& picture);
    bool Measure();
    void PlaceThumbnail();
    void Rebuild(bool new_buffer);
    void Paint();
    void FireUpdate();

    std::string m_html;
    bool m_loaded{true};
    std::string m_thumb_address;
    std::string m_thumb_path;
    fpoint m_content{613, 112};
    frect m_thumb{8, 8, 130, 90};   // until the page is laid out: where the item's markup puts its picture
    bool m_thumb_missing{false};   // written under UIRenderMutex
    feedlistLogic* m_logic{nullptr};
    std::unique_ptr<RenderEngine::texture> m_texture;   // the rendered picture; drawn under UIRenderMutex
    std::unique_ptr<Page> m_page;
    std::shared_ptr<Inbox> m_inbox;                     // last: its fetcher is joined before the rest go
};

}
