#include "screens/widgets/wvideoloading.h"

#include "toolkit/controls/wimage.h"

#include <string>

wvideoloading::wvideoloading(std::string name) : UI::window(std::move(name))
{
    for (int n = 0; n < FrameCount; ++n) {
        auto* frame = new UI::wimage("wimage-loading");
        frame->SetPicture("icon_loading" + std::to_string(n));
        frame->SetPosRule(4, 4, -1, -1);
        AddChild(frame);
        m_frames[static_cast<std::size_t>(n)] = frame;
    }
    ShowFrame(0);
    SetPosRule(4, 4, -1, -1);
    Show(true);
}

void wvideoloading::ShowFrame(int frame)
{
    for (int n = 0; n < FrameCount; ++n) m_frames[static_cast<std::size_t>(n)]->Show(n == frame);
    m_shown = frame;
}

void wvideoloading::Stop()
{
    m_stopped = true;
    Show(false);
}

void wvideoloading::Restart()
{
    if (m_stopped) {
        m_tick = 0;
        ShowFrame(0);
    }
    m_stopped = false;
    Show(true);
}

void wvideoloading::Draw()
{
    if (!m_stopped) {
        if (m_tick % TicksPerFrame == 0) ShowFrame(m_tick / TicksPerFrame);
        m_tick = (m_tick + 1) % (FrameCount * TicksPerFrame);
    }
    UI::window::Draw();
    Invalidate();
}
