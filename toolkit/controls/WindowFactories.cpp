// The control factories of UI::window live with the controls they make, so
// the widget core does not depend on the controls.

#include "toolkit/controls/wbtn.h"
#include "toolkit/controls/wimage.h"
#include "toolkit/controls/wlist.h"
#include "toolkit/controls/wmultiprogress.h"
#include "toolkit/controls/wprogress.h"
#include "toolkit/controls/wsliderbar.h"
#include "toolkit/controls/wtext.h"
#include "toolkit/widgets/window.h"

namespace UI {
namespace {

enum class Sized { Always, WhenBothGiven };

template <typename Control>
Control* attach(window& parent, Control* control, float x, float y, float width, float height, Sized sized)
{
    control->SetPos(x, y);
    if (sized == Sized::Always || (width != 0 && height != 0))
        control->SetSize(width, height);
    parent.AddChild(control);
    control->SetPosRule(0, 0, -1, -1);
    control->SetSizeRule(0, 0, -1, -1);
    return control;
}

}  // namespace

wbtn* window::AddButton(const std::string& name, const std::string& picture_base, float x, float y, float width,
                        float height)
{
    auto* button = new wbtn(name);
    button->SetSkinByName(picture_base);
    return attach(*this, button, x, y, width, height, Sized::WhenBothGiven);
}

wimage* window::AddImage(const std::string& name, const std::string& picture, float x, float y, float width,
                         float height)
{
    auto* image = new wimage(name);
    image->SetPicture(picture);
    return attach(*this, image, x, y, width, height, Sized::WhenBothGiven);
}

wimage* window::AddImageAt(const std::string& name, const std::string& picture, float x, float y, float left,
                           float top, float right, float bottom)
{
    auto* image = new wimage(name);
    image->SetPicture(picture, {left, top, right, bottom});
    image->SetPos(x, y);
    AddChild(image);
    image->SetPosRule(1, 1, 0, 0);
    image->SetSizeRule(2, 2, 0, 0);
    return image;
}

wtext* window::AddText(const std::string& name, float x, float y, float width, float height, const WCHAR* text)
{
    auto* field = attach(*this, new wtext(name), x, y, width, height, Sized::Always);
    if (text)
        field->SetText(text);
    return field;
}

wprogress* window::AddProgress(const std::string& name, float x, float y, float width, float height)
{
    return attach(*this, new wprogress(name), x, y, width, height, Sized::Always);
}

wmultiprogress* window::AddMultiProgress(const std::string& name, float x, float y, float width, float height)
{
    return attach(*this, new wmultiprogress(name), x, y, width, height, Sized::Always);
}

wsliderbar* window::AddSliderBar(const std::string& name, float x, float y, float width, float height)
{
    return attach(*this, new wsliderbar(name), x, y, width, height, Sized::Always);
}

wlist* window::AddList(const std::string& name, float x, float y, float width, float height)
{
    return attach(*this, new wlist(name), x, y, width, height, Sized::Always);
}

}
