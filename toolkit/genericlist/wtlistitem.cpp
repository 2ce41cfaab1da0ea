#include "toolkit/genericlist/wtlistitem.h"

namespace UI {

wtlistitem::wtlistitem(std::string name) : wlistitem(std::move(name)) {}

void wtlistitem::SetShown(bool shown)
{
    m_shown = shown;
    Invalidate();
}

}
