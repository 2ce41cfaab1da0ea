#include "screens/feedlist/wie.h"

#include "screens/feedlist/feedlistLogic.h"

#include "platform/base/DebugLog.h"
#include "platform/d3d9/Direct3D.h"
#include "platform/html/HtmlTree.h"
#include "platform/html/HtmlView.h"
#include "platform/html/PictureFetcher.h"
#include "platform/sync/MessageQueue.h"
#include "platform/window/Window.h"
#include "toolkit/controls/SkinDraw.h"
#include "toolkit/render/D3D9Render.h"
#include "toolkit/render/picture.h"
#include "toolkit/render/render.h"
#include "toolkit/render/texture.h"
#include "toolkit/uimgr/uiMgr.h"
#include "toolkit/widgets/CMutexGuard.h"

#include <algorithm>
#include <optional>

namespace UI {
namespace {

constexpr float ContentWidth = 613;
constexpr float MinimumHeight = 112;
// What GetSystemMetrics gives for the scroll bars (SM_CXVSCROLL, SM_CYHSCROLL).
constexpr int ScrollBarWidth = 17;
constexpr int ScrollBarHeight = 17;
// The page is drawn 2 pixels in from the picture's corner.
constexpr int Inset = 2;
// No texture is larger; a taller description is cut there.
constexpr int MaxTextureSide = 8192;
// The description is cut here before it is written: a page taller than the
// largest texture shows no more, and laying out more would only cost time.
constexpr std::size_t MaxDescriptionBytes = 256u << 10;
constexpr D3DFORMAT PictureFormat = D3DFMT_X8R8G8B8;

std::string file_address(const std::string& path)
{
    std::string address = path.starts_with('/') ? "file://" : "file:///";
    for (const char c : path) {
        if (c == ' ')
            address += "%20";
        else
            address += c == '\\' ? '/' : c;
    }
    return address;
}

// The page with the description written in: a description the document's
// limits refuse (too deep, too large) leaves the page empty.
std::unique_ptr<plat::html::Node> write_page(const std::string& html)
{
    std::string source(ItemPage);
    source.append(html, 0, std::min(html.size(), MaxDescriptionBytes));
    if (auto tree = plat::html::parse_document(source)) return tree;
    plat::debug_log("item description not shown: the document refused it");
    return plat::html::parse_document(ItemPage);
}

// Where a view's page is written and its pictures taken: the thread of the
// main window, which pumps messages, whichever thread made the view (rows are
// made on the logic thread and on the download manager's event thread, which
// pumps none). Before there is a main window (tests, the benchmark), the
// thread that made the view.
DWORD ui_thread()
{
    if (HWND main = uiMgr::Instance().GetHwnd())
        if (const DWORD thread = GetWindowThreadProcessId(main, nullptr)) return thread;
    plat::current_thread_queue();   // a post to a thread that never received has nowhere to go
    return GetCurrentThreadId();
}

IDirect3DDevice9* render_device()
{
    auto* d3d = dynamic_cast<RenderEngine::D3D9Render*>(RenderEngine::GetRender());
    return d3d ? d3d->GetDevice() : nullptr;
}

}  // namespace

struct wie::Page {
    std::unique_ptr<plat::html::Node> tree;
    plat::html::HtmlView view;
    std::optional<std::size_t> thumb_index;   // among the page's img elements
    std::string thumb_src;
};

// What arrives for a view from other threads, and how the UI thread is woken
// for it: a posted WM_TIMER whose routine (called by DispatchMessageW) holds
// a weak reference, so a wake that outlives its view finds nothing. Views are
// freed on other threads too (a row refreshed after a download event), so the
// routine handles the arrivals under UIRenderMutex, under which the view's
// destructor clears the owner: a view never goes while its arrivals run.
struct wie::Inbox {
    wie* owner{nullptr};        // guarded by UIRenderMutex; cleared by the view's destructor
    DWORD thread{0};            // the UI thread; set before the fetcher starts
    bool document_due{false};   // guarded by UIRenderMutex
    std::unique_ptr<plat::html::PictureFetcher> fetcher;

    static void Wake(const std::weak_ptr<Inbox>& inbox, DWORD thread)
    {
        auto* payload = new std::weak_ptr<Inbox>(inbox);
        plat::post_thread_message(thread, WM_TIMER, reinterpret_cast<WPARAM>(payload),
                                  reinterpret_cast<LPARAM>(&Inbox::OnWake), &Inbox::Drop);
    }
    static void OnWake(HWND, UINT, UINT_PTR payload, DWORD)
    {
        std::unique_ptr<std::weak_ptr<Inbox>> held(reinterpret_cast<std::weak_ptr<Inbox>*>(payload));
        const std::shared_ptr<Inbox> inbox = held->lock();
        if (!inbox) return;
        CMutexGuard hold(UIRenderMutex());
        if (inbox->owner) inbox->owner->OnArrivals();
    }
    static void Drop(const MSG& message) { delete reinterpret_cast<std::weak_ptr<Inbox>*>(message.wParam); }
};

wie::wie(std::string name) : window(std::move(name)), m_inbox(std::make_shared<Inbox>())
{
    m_inbox->owner = this;
    m_inbox->thread = ui_thread();
    std::weak_ptr<Inbox> weak = m_inbox;
    const DWORD thread = m_inbox->thread;
    m_inbox->fetcher = std::make_unique<plat::html::PictureFetcher>([weak, thread] { Inbox::Wake(weak, thread); });
    SetBufferEnabled(false);
}

wie::~wie()
{
    {
        // Waits for arrivals being handled; none runs after this.
        CMutexGuard hold(UIRenderMutex());
        m_inbox->owner = nullptr;
    }
    m_inbox->fetcher.reset();
}

void wie::Load(const std::string& html, bool)
{
    CMutexGuard hold(UIRenderMutex());
    m_html = html;
    m_loaded = false;
    m_content = {ContentWidth, MinimumHeight};
    m_inbox->document_due = true;
    Inbox::Wake(m_inbox, m_inbox->thread);
}

void wie::SetThumbnail(const std::string& address, const std::string& local_path)
{
    CMutexGuard hold(UIRenderMutex());
    m_thumb_address = address;
    m_thumb_path = local_path;
}

// On the UI thread, under UIRenderMutex.
void wie::OnArrivals()
{
    if (m_inbox->document_due) {
        m_inbox->document_due = false;
        DocumentComplete();
    }
    for (const plat::html::FetchedPicture& picture : m_inbox->fetcher->take()) OnPicture(picture);
}

void wie::DocumentComplete()
{
    m_loaded = true;
    m_page = std::make_unique<Page>();
    m_page->tree = write_page(m_html);
    const std::string file_form = file_address(m_thumb_path);
    const std::vector<plat::html::Node*> images = plat::html::elements_by_tag_name(*m_page->tree, "img");
    for (std::size_t i = 0; i < images.size() && !m_page->thumb_index; ++i) {
        const std::string* src = images[i]->attribute("src");
        if (!src || src->empty()) continue;
        if (*src == m_thumb_address || (!m_thumb_path.empty() && (*src == m_thumb_path || *src == file_form))) {
            m_page->thumb_index = i;
            m_page->thumb_src = *src;
        }
    }
    const std::vector<plat::html::Node*> spans = plat::html::elements_by_tag_name(*m_page->tree, "span");
    for (std::size_t i = 0; i + 1 < spans.size(); ++i) {
        if (plat::html::inner_text(*spans[i]) == "Time:") {
            plat::html::set_style_property(*spans[i + 1], "color", "white");
            break;
        }
    }
    m_thumb_missing = m_page->thumb_index.has_value();
    m_page->view.load(*m_page->tree, ItemStyle);
    for (const std::string& src : m_page->view.picture_sources()) m_inbox->fetcher->fetch(src);
    if (!Measure()) return;
    Rebuild(true);
}

bool wie::Measure()
{
    if (!m_page) return false;
    const int height = m_page->view.layout(int(ContentWidth));
    const float tallest = float(MaxTextureSide - 2 * Inset - ScrollBarHeight);
    m_content = {ContentWidth, std::clamp(float(height), MinimumHeight, tallest)};
    SetSizeRule(0, 0, m_content.x, m_content.y);
    SetSize(m_content.x, m_content.y);
    return true;
}

void wie::PlaceThumbnail()
{
    if (!m_page->thumb_index) return;
    if (const auto place = m_page->view.element_rect("img", *m_page->thumb_index))
        m_thumb = {float(place->x), float(place->y), float(place->width), float(place->height)};
}

// A download finished or the thumbnail arrived: the page is laid out again
// and, when its height changed, painted into a new picture.
void wie::OnPicture(const plat::html::FetchedPicture& picture)
{
    if (!m_page || !picture.ok || !m_page->view.set_picture(picture.src, picture.image)) return;
    const bool thumbnail = m_page->thumb_index && picture.src == m_page->thumb_src;
    const float height = m_content.y;
    if (thumbnail) m_thumb_missing = false;
    if (!Measure()) return;
    Rebuild(height != m_content.y || !m_texture);
    if (thumbnail && m_logic) m_logic->OnBrowserItemEvent(this);
}

// Under UIRenderMutex.
void wie::Rebuild(bool new_buffer)
{
    PlaceThumbnail();
    if (new_buffer) {
        m_texture.reset();
        if (IDirect3DDevice9* device = render_device()) {
            m_texture = std::make_unique<RenderEngine::texture>(device, 0, "IE_page");
            device->Release();
            const unsigned width = unsigned(m_content.x) + ScrollBarWidth + 2 * Inset;
            const unsigned height = unsigned(m_content.y) + ScrollBarHeight + 2 * Inset;
            if (!m_texture->Create(width, height, D3DPOOL_MANAGED, PictureFormat)) m_texture.reset();
        }
    }
    m_loaded = true;
    Paint();
    FireUpdate();
}

void wie::Paint()
{
    if (!m_texture) return;
    auto texture = plat::ComPtr<IDirect3DTexture9>::adopt(m_texture->GetD3DTexture());
    D3DLOCKED_RECT locked{};
    if (!texture || FAILED(texture->LockRect(0, &locked, nullptr, 0))) return;
    m_page->view.paint(locked.pBits, int(m_texture->GetWidth()), int(m_texture->GetHeight()), locked.Pitch, Inset,
                       Inset);
    texture->UnlockRect(0);
    Invalidate();
}

void wie::FireUpdate()
{
    IEUpdateEventArgs update;
    update.sender = this;
    update.width = m_content.x;
    update.height = m_content.y;
    FireEvent("IE_update", update);
}

void wie::Draw()
{
    if (m_texture) {
        RenderEngine::d3dpic picture(m_texture.get(), Inset, Inset, m_content.x + Inset, m_content.y + Inset);
        const fpoint at = DrawPositionOf(*this);
        RenderEngine::DrawPicture(&picture, at.x, at.y, GetWidth(), GetHeight(), GetAlpha() / 255.0f);
        // A thumbnail on its way, or one that never came, leaves an empty
        // tile where it goes, not a hole in the page.
        if (m_thumb_missing)
            DrawSkin(SkinPicture("videonormalbg"), {at.x + m_thumb.x, at.y + m_thumb.y, m_thumb.width, m_thumb.height},
                     GetAlpha() / 255.0f, {8, 8, 8, 8});
    }
    SetDirty(false);
}

IDirect3DTexture9* wie::GetPictureTexture() const
{
    CMutexGuard hold(UIRenderMutex());
    return m_texture ? m_texture->GetD3DTexture() : nullptr;
}

}
