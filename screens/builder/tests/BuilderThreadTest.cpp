#include "screens/builder/tests/MainWindowRig.h"

#include "screens/builder/UIIds.h"
#include "toolkit/uimgr/uiMgr.h"
#include "toolkit/widgets/CMutexGuard.h"
#include "toolkit/widgets/WidgetRegistry.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace ids = UI::ids;

// The compose thread takes the render lock for a frame: it sees no tree, or all of it.
TEST(uiBuilder, ADrawingThreadSeesNoTreeOrTheWholeTree)
{
    test::MainWindowRig rig;
    std::atomic<bool> done{false};
    int halves = 0, wholes = 0;
    std::thread compose([&] {
        while (!done.load()) {
            CMutexGuard hold(UIRenderMutex());
            UI::uiMgr& manager = UI::uiMgr::Instance();
            if (manager.GetRoot() == nullptr) continue;
            const bool whole = manager.GetTitleWindow() != nullptr && UI::GetWidgetById(ids::SearchText) != nullptr;
            (whole ? wholes : halves) += 1;
            return;
        }
    });
    rig.builder.BuildUI();
    done = true;
    compose.join();
    EXPECT_EQ(halves, 0);
    EXPECT_LE(wholes, 1);
}
