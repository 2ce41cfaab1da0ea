#include "screens/video/wmoveactionbtn.h"

namespace UI {

void wmoveactionbtn::OnMouseEnter()
{
    if (!GetShowState()) return;
    Invalidate();
    wbtn::OnMouseEnter();
    Tell(true);
}

void wmoveactionbtn::OnMouseLeave()
{
    if (!GetShowState()) return;
    Invalidate();
    wbtn::OnMouseLeave();
    Tell(false);
}

void wmoveactionbtn::Tell(bool entered)
{
    ValueEventArgs args;
    args.sender = this;
    args.value = entered ? 1 : 0;
    FireEvent("moveactiobbtn_EnterLeave", args);
}

}
