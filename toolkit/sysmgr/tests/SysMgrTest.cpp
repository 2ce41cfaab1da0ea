// The system manager over a fake of the parts it joins: Init's order, the
// layers' order in the compose server, and where each message goes.

#include "toolkit/sysmgr/sysMgr.h"

#include "toolkit/uimgr/uiMgr.h"
#include "toolkit/widgets/EventSet.h"
#include "toolkit/widgets/tests/WidgetRig.h"
#include "toolkit/widgets/window.h"

#include "platform/window/Messages.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Log = std::vector<std::string>;

// A video layer that logs the messages offered to it and consumes none.
class FakeVideoLayer : public IUo {
public:
    explicit FakeVideoLayer(Log& log) : m_log(log) {}
    ~FakeVideoLayer() override = default;
    LRESULT OnMessage(UINT message, WPARAM, LPARAM) override
    {
        m_log.push_back("video:" + std::to_string(message));
        return 0;
    }

private:
    Log& m_log;
};

struct FakeParts : UI::sysParts {
    Log log;
    RenderEngine::render* render{nullptr};
    FakeVideoLayer video{log};

    RenderEngine::render* CreateRender(HWND) override { return note("render"), render; }
    void LoadSkin() override { note("skin"); }
    void InitRenderTargets() override { note("targets"); }
    void CreateScreens() override { note("screens"); }
    IUo* VideoLayer() override { return note("video layer"), &video; }
    void SubscribeControllerEvents() override { note("controller events"); }
    void BuildTree() override { note("tree"); }
    void StartController() override { note("controller"); }
    void PlaceScreens() override { note("place"); }
    void InvalidateBackground(int flag) override { note("background" + std::to_string(flag)); }
    void note(const std::string& what) { log.push_back(what); }
};

struct SysMgrTest : ::testing::Test {
    test::RecordingScene scene;
    FakeParts parts;
    UI::window root{"root"};
    std::unique_ptr<UI::sysMgr> manager;

    void SetUp() override
    {
        parts.render = scene.render;
        manager = std::make_unique<UI::sysMgr>(&parts);
    }
    void TearDown() override
    {
        manager.reset();   // the compose thread stops before the scene goes
        UI::uiMgr::Instance().SetRoot(nullptr);
    }
    Log send(UINT message, WPARAM w)
    {
        parts.log.clear();
        EXPECT_EQ(manager->OnMessage(message, w, 0), 0);
        return parts.log;
    }
};

}  // namespace

TEST_F(SysMgrTest, InitBuildsInOrderAndTheUiManagerSitsAboveTheVideo)
{
    EXPECT_TRUE(manager->Init(nullptr));
    EXPECT_EQ(parts.log, (Log{"render", "skin", "targets", "screens", "video layer", "controller events", "tree",
                              "controller"}));
    ASSERT_NE(manager->GetComposeServer(), nullptr);

    // Without a tree the UI manager passes the input on: the video layer is below it.
    EXPECT_EQ(send(WM_MOUSEMOVE, 0), (Log{"video:512"}));
}

TEST_F(SysMgrTest, TheTooltipHandlerHearsTheGlobalEvent)
{
    manager->Init(nullptr);
    UI::widget tip("tip");
    UI::widget root("root");
    UI::widget panel("panel");
    root.AddChild(&panel);
    panel.SetPos(100, 0);
    UI::widget entered("entered");
    panel.AddChild(&entered);
    entered.SetPos(40, 50);
    UI::uiMgr::Instance().SetTooltip(&tip);
    UI::EventArgs args;
    args.sender = &entered;
    UI::GlobalEventSet::Instance().Fire("tooltips_target", args, nullptr);
    EXPECT_FLOAT_EQ(tip.GetX(), 140);   // the entered widget's place in the window
    UI::uiMgr::Instance().SetTooltip(nullptr);
    panel.RemoveChild(&entered);
    root.RemoveChild(&panel);
}

TEST_F(SysMgrTest, MessagesGoWhereTheyBelong)
{
    manager->Init(nullptr);
    const struct { const char* name; bool tree; UINT message; WPARAM w; Log log; } cases[] = {
        {"a minimise changes nothing", true, WM_SIZE, SIZE_MINIMIZED, {}},
        {"a resize before the tree reaches nothing", false, WM_SIZE, 0, {}},
        {"a resize places the screens, redraws, then goes to the layers", true, WM_SIZE, 0,
         {"place", "background1", "video:5"}},
        {"focus goes to the UI manager alone", true, WM_SETFOCUS, 0, {}},
        {"activation too", true, WM_ACTIVATE, 1, {}},
        {"the rest goes to the layers", false, WM_KEYUP, 0, {"video:257"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        UI::uiMgr::Instance().SetRoot(c.tree ? &root : nullptr);
        root.SetDirty(false);
        EXPECT_EQ(send(c.message, c.w), c.log);
    }
}

TEST(SysMgr, BeforeInitMessagesAnswerZero)
{
    UI::sysMgr manager;
    EXPECT_EQ(manager.OnMessage(WM_MOUSEMOVE, 0, 0), 0);
    EXPECT_EQ(manager.OnMessage(WM_SETFOCUS, 0, 0), 0);
    EXPECT_EQ(manager.GetComposeServer(), nullptr);
}
