#include "screens/video/wmoveactionsliderbar.h"

namespace UI {

void wmoveactionsliderbar::OnMouseEnter()
{
    wsliderbar::OnMouseEnter();
    Show(true);
    Invalidate();
}

void wmoveactionsliderbar::OnMouseLeave()
{
    wsliderbar::OnMouseLeave();
    Show(false);
    Invalidate();
}

}
