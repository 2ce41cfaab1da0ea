#include "screens/video/wdownloadlist.h"

#include "screens/video/wdownloadlistitem.h"

#include "toolkit/controls/wimage.h"
#include "toolkit/widgets/MouseEventArgs.h"

namespace UI {

namespace {

// A mark is the row's pause or resume button: a press reports
// "button_clicked" (sender: the mark, whose parent is the row) and goes no
// further, so the row under it is not clicked too.
class wdownloadmark final : public wimage {
public:
    using wimage::wimage;
    void OnMouseDown(MouseEventArgs& e) override
    {
        e.handled = 1;
        EventArgs pressed;
        pressed.sender = this;
        FireEvent("button_clicked", pressed);
    }
};

// The bare strips "btnplay" and "btnpause" have no picture of their own; the
// marks show their normal state.
wimage* make_mark(const char* name, const char* picture)
{
    auto* mark = new wdownloadmark(name);
    mark->SetPicture(picture);
    mark->SetMouseTransparent(false);
    mark->SetSwallowClicks(true);
    mark->Show(false);
    return mark;
}

}  // namespace

wdownloadlist::wdownloadlist(std::string name)
    : wtlist(std::move(name)), m_play(make_mark("wimage-wtlistitem-play", "btnplay_normal")),
      m_pause(make_mark("wimage-wtlistitem-pause", "btnpause_normal"))
{
}

wdownloadlist::~wdownloadlist()
{
    for (wimage* mark : {m_play, m_pause}) {
        TakeBack(mark);
        delete mark;
    }
}

void wdownloadlist::TakeBack(wimage* mark)
{
    if (widget* holder = mark->GetParent()) {
        holder->RemoveChild(mark);
        if (auto* row = dynamic_cast<wdownloadlistitem*>(holder)) row->SetMark(nullptr);
    }
    mark->Show(false);
}

void wdownloadlist::LendMark(wdownloadlistitem& row, bool selected)
{
    if (row.GetMark() == m_play || row.GetMark() == m_pause) TakeBack(static_cast<wimage*>(row.GetMark()));
    if (!selected || row.Row().percent == 100) return;
    wimage* mark = row.Row().status == 0 ? m_play : m_pause;
    TakeBack(mark);
    row.AddChild(mark);
    mark->SetPosRule(1, 1, 24, 17);
    mark->Show(true);
    row.SetMark(mark);
    row.UpdateLayout();
}

}
