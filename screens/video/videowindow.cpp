#include "screens/video/videowindow.h"

namespace UI {

void videowindow::Draw()
{
    window::Draw();
    EventArgs args;
    args.sender = this;
    GlobalEventSet::Instance().Fire("videowindow_render", args, nullptr);
}

}
