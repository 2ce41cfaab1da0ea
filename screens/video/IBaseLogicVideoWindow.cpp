#include "screens/video/IBaseLogicVideoWindow.h"

#include "screens/video/videoplaywindow.h"

namespace UI {

void IBaseLogicVideoWindow::SetRatio(float ratio) { m_ratio.Start(m_owner->Geometry().shown_aspect, ratio); }

}
