#include "screens/widgets/wdragwindow.h"

#include "toolkit/controls/wimage.h"
#include "toolkit/resmgr/d3dresMgr.h"

namespace UI {
namespace {

wimage* inset_image(window& parent, const std::string& name, const std::string& picture)
{
    auto* image = new wimage(name);
    image->SetPicture(picture);
    parent.AddChild(image);
    image->SetPosRule(1, 1, 6, 6);
    image->SetSizeRule(3, 3, 12, 12);
    return image;
}

}  // namespace

wdragwindow::wdragwindow(std::string name) : window(std::move(name))
{
    SetSize(170, 32);
    SetAlpha(200);
    SetZOrder(1000);
    SetMouseTransparent(true);
    m_background = new wimage("wimage_windowdragbackground");
    m_background->SetPicture("videonormalbg", {8, 8, 8, 8});
    AddChild(m_background);
    m_background->SetPosRule(1, 1, 0, 0);
    m_background->SetSizeRule(2, 2, 0, 0);
    m_default_picture = inset_image(*this, "wimage_defult-dragwindow", "black_image");
    m_item_picture = inset_image(*this, "wimage_dragwindow", "black_image");
    m_item_picture->SetAlpha(150);
    m_item_picture->Show(false);
    Show(false);
}

void wdragwindow::SetImage(const std::string& picture)
{
    d3dresMgr* manager = d3dresMgr::Instance();
    RenderEngine::picture* found = manager ? manager->GetPicture(picture) : nullptr;
    if (manager && !IsUsablePicture(found) && manager->LoadPicture(AnsiToWide(picture), picture, 0))
        found = manager->GetPicture(picture);
    if (!IsUsablePicture(found)) {
        ShowDefaultImage();
        return;
    }
    const fpoint size = m_item_picture->GetSize();
    m_item_picture->SetPicture(picture);
    m_item_picture->SetSize(size.x, size.y);
    m_item_picture->Show(true);
    m_default_picture->Show(false);
    UpdateLayout();
}

void wdragwindow::ShowDefaultImage()
{
    m_item_picture->Show(false);
    m_default_picture->Show(true);
    UpdateLayout();
}

void wdragwindow::SetTarget(int x, int y)
{
    m_target_x = x;
    m_target_y = y;
    Invalidate();
}

void wdragwindow::GlideTo(int x, int y, bool fire)
{
    m_hide_on_arrival = true;
    m_fire_on_arrival = fire;
    SetTarget(x, y);
}

// A third of the way, at least 2 (a zero step counts as negative); within 2 it snaps.
int wdragwindow::Approach(int from, int to)
{
    int step = (to - from) / 3;
    if (step > -2 && step < 2)
        step = step > 0 ? 2 : -2;
    const int left = to - from;
    return left > 2 || left < -2 ? from + step : to;
}

void wdragwindow::Draw()
{
    if (!m_held) {
        const int x = Approach(int(GetX()), m_target_x), y = Approach(int(GetY()), m_target_y);
        if (x != int(GetX()) || y != int(GetY()))
            Invalidate();
        const bool arrived = x == m_target_x && y == m_target_y;
        if (arrived && m_fire_on_arrival) {
            m_fire_on_arrival = false;
            EventArgs finished;
            finished.sender = this;
            GlobalEventSet::Instance().Fire("Dragwindow_dragfinished", finished, nullptr);
        }
        if (arrived && m_hide_on_arrival) {
            m_hide_on_arrival = false;
            Show(false);
            return;
        }
        SetPos(float(x), float(y));
        UpdateLayout();
    }
    window::Draw();
}

}
