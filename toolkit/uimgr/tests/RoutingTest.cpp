// The UI manager's routing of window messages into a small tree of probes,
// with the controller faked: who hears each message, in what order, and what
// the manager answers.

#include "toolkit/uimgr/uiMgr.h"

#include "toolkit/widgets/CMutexGuard.h"
#include "toolkit/widgets/EventSet.h"
#include "toolkit/widgets/InputState.h"
#include "toolkit/widgets/MouseEventArgs.h"
#include "toolkit/widgets/tests/WidgetRig.h"
#include "toolkit/widgets/ATimeLine.h"
#include "toolkit/widgets/window.h"

#include "core/settings/CAppSettings.h"
#include "platform/base/DebugLog.h"
#include "platform/fs/testing/ScopedEnvironment.h"
#include "platform/fs/testing/TempFolder.h"
#include "platform/sync/MessageQueue.h"
#include "platform/window/Messages.h"
#include "platform/window/tests/Recorder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

std::vector<std::string>& heard()
{
    static std::vector<std::string> log;
    return log;
}

// Logs each event as "name:event"; handles the events named in `handles`.
class Probe : public UI::widget {
public:
    Probe(std::string name, float x, float y, float w, float h, std::string handles = "")
        : widget(std::move(name)), m_handles(std::move(handles))
    {
        SetPos(x, y);
        SetSize(w, h);
    }
    void OnMouseMove(UI::MouseEventArgs& e) override { note("move", e); }
    void OnMouseDown(UI::MouseEventArgs& e) override { note("down", e); }
    void OnMouseUp(UI::MouseEventArgs& e) override { note("up", e); }
    void OnDoubleClick(UI::MouseEventArgs& e) override { note("dbl", e); }
    void OnMouseWheel(UI::MouseEventArgs& e) override { note("wheel" + std::to_string(int(e.second.x)), e); }
    void OnMouseEnter() override { heard().push_back(GetName() + ":enter"); }
    void OnMouseLeave() override { heard().push_back(GetName() + ":leave"); }
    void OnFocusIn() override { heard().push_back(GetName() + ":focusin"); }
    void OnFocusOut() override { heard().push_back(GetName() + ":focusout"); }
    bool OnChar(UI::ValueEventArgs& e) override
    {
        heard().push_back(GetName() + ":char" + std::to_string(e.value));
        return true;
    }
    void OnKey(UI::ValueEventArgs& e) override { note("key" + std::to_string(e.value), e); }

private:
    void note(const std::string& what, UI::EventArgs& e)
    {
        heard().push_back(GetName() + ":" + what);
        if (m_handles.find(what.substr(0, 3)) != std::string::npos) e.handled = 1;
    }
    std::string m_handles;
};

struct FakeLogic : UI::uiLogicHooks {
    LRESULT OnTimer(UINT_PTR id) override { return note("timer" + std::to_string(id)), 7; }
    void OnDeviceChange(WPARAM w, LPARAM) override { note("devicechange" + std::to_string(w)); }
    void OnUserMessage17415(WPARAM w) override { note("user" + std::to_string(w)); }
    void SetEdgeCursor(int x, int y) override { note("edge" + std::to_string(x) + "," + std::to_string(y)); }
    void OnMouseMove(UI::MouseEventArgs&) override { note("move"); }
    bool OnMouseWheel(int delta, int, int) override { return note("wheel" + std::to_string(delta)), true; }
    bool OnKeyDown(int key) override { return note("key" + std::to_string(key)), key == 27; }
    void UpdateWindowState() override { note("windowstate"); }
    static void note(const std::string& what) { heard().push_back("logic:" + what); }
};

LPARAM at(int x, int y) { return LPARAM((unsigned(y) & 0xFFFF) << 16 | (unsigned(x) & 0xFFFF)); }

// root 800x600 > panel (100,100 200x200) > button (10,10 50x20); a client
// window that takes unhandled double clicks.
struct Tree : ::testing::Test {
    test::RecordingScene scene;
    UI::window root{"root"};
    Probe panel{"panel", 100, 100, 200, 200, "dbl"};
    Probe button{"button", 10, 10, 50, 20, "mov,dow,up"};
    Probe client{"client", 0, 0, 0, 0};
    FakeLogic logic;
    UI::uiMgr& manager = UI::uiMgr::Instance();

    void SetUp() override
    {
        root.SetSize(800, 600);
        root.AddChild(&panel);
        panel.AddChild(&button);
        root.UpdateLayout();
        manager.SetRoot(&root);
        manager.SetClient(&client);
        manager.SetHooks(&logic);
        heard().clear();
    }
    void TearDown() override
    {
        UI::SetFocusedWidget(nullptr);
        UI::SetHoverWidget(nullptr);
        manager.SetRoot(nullptr);
        manager.SetClient(nullptr);
        manager.SetHooks(nullptr);
    }
    std::vector<std::string> send(UINT message, WPARAM w, LPARAM l, LRESULT expected)
    {
        heard().clear();
        EXPECT_EQ(manager.OnMessage(message, w, l), expected);
        return heard();
    }
};

using Log = std::vector<std::string>;

}  // namespace

TEST_F(Tree, MessagesReachTheWidgetsAndTheController)
{
    const struct { const char* name; UINT message; WPARAM w; LPARAM l; LRESULT result; Log log; } cases[] = {
        {"move onto the button", WM_MOUSEMOVE, 0, at(115, 115), 1,
         {"button:enter", "button:move", "logic:edge115,115", "logic:move"}},
        // The root window handles what its children leave.
        {"move on the panel bubbles to the root", WM_MOUSEMOVE, 0, at(250, 250), 1,
         {"button:leave", "panel:enter", "panel:move", "logic:edge250,250", "logic:move"}},
        {"non-client move", 0x00A0, 0, at(5, 5), 0, {"panel:leave", "logic:edge5,5", "logic:move"}},
        {"press on the button", WM_LBUTTONDOWN, 0, at(115, 115), 1, {"button:focusin", "button:down"}},
        {"press on empty space clears the focus", WM_LBUTTONDOWN, 0, at(5, 5), 1, {"button:focusout"}},
        {"release on the panel bubbles to the root", 0x00A2, 0, at(250, 250), 1, {"panel:up"}},
        {"double click the panel handles", WM_LBUTTONDBLCLK, 0, at(250, 250), 1, {"panel:dbl"}},
        {"double click bubbles from the button to the panel", WM_LBUTTONDBLCLK, 0, at(115, 115), 1,
         {"button:dbl", "panel:dbl"}},
        {"wheel without a focus goes to the controller", WM_MOUSEWHEEL, WPARAM(unsigned(-120) << 16), at(5, 5), 1,
         {"logic:wheel-120"}},
        {"key without a focus still reaches the controller", WM_KEYDOWN, 27, 0, 1, {"logic:key27"}},
        {"a character without a focus", WM_CHAR, 'a', 0, 0, {}},
        {"timer", WM_TIMER, 5, 0, 7, {"logic:timer5"}},
        {"device change", WM_DEVICECHANGE, 0x8000, 0, 0, {"logic:devicechange32768"}},
        {"private message", 17415, 3, 0, 0, {"logic:user3"}},
        {"anything else", WM_SIZE, 0, 0, 0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(send(c.message, c.w, c.l, c.result), c.log);
    }
}

TEST_F(Tree, ADoubleClickNoWidgetHandlesReachesTheClient)
{
    Probe lone{"lone", 400, 400, 10, 10};
    root.AddChild(&lone);
    EXPECT_EQ(send(WM_LBUTTONDBLCLK, 0, at(405, 405), 0), (Log{"lone:dbl", "client:dbl"}));
}

TEST_F(Tree, APressedWidgetCapturesTheMouse)
{
    send(WM_LBUTTONDOWN, 0, at(115, 115), 1);
    button.SetPressed(true);
    // Moves far away reach only the pressed widget; no hover changes meanwhile.
    EXPECT_EQ(send(WM_MOUSEMOVE, 0, at(700, 500), 1), (Log{"button:move"}));
    EXPECT_EQ(send(WM_LBUTTONUP, 0, at(700, 500), 1), (Log{"button:up"}));
    button.SetPressed(false);
}

TEST_F(Tree, CharactersAndKeysGoToTheFocus)
{
    send(WM_LBUTTONDOWN, 0, at(115, 115), 1);
    EXPECT_EQ(send(WM_CHAR, 0xE9, 0, 1), (Log{"button:char233"}));
    // The key goes to the tree's keyboard focus, then to the controller.
    button.SetFocusable(true);
    button.Activate();
    EXPECT_EQ(send(WM_KEYDOWN, 0x25, 0, 0), (Log{"button:key37", "panel:key37", "logic:key37"}));
}

TEST_F(Tree, DeactivationDropsTheFocusAndAClickGivesItBack)
{
    send(WM_LBUTTONDOWN, 0, at(115, 115), 1);
    EXPECT_EQ(send(WM_ACTIVATEAPP, 1, 0, 0), Log{});
    EXPECT_EQ(send(WM_ACTIVATEAPP, 0, 0, 0), (Log{"button:focusout"}));
    EXPECT_EQ(UI::GetFocusedWidget(), nullptr);
    EXPECT_EQ(send(WM_LBUTTONDOWN, 0, at(115, 115), 1), (Log{"button:focusin", "button:down"}));
}

TEST_F(Tree, NeedsRedrawBlinksTheCaretAndStillAnswersTheTree)
{
    root.SetDirty(false);
    EXPECT_FALSE(manager.NeedsRedraw());
    manager.InvalidateLayer(0);
    EXPECT_TRUE(manager.NeedsRedraw());
    root.SetDirty(false);

    UI::SetFocusedWidget(&button);
    // Over a whole blink cycle: visible below 10 polls, redraws where it turns.
    std::vector<int> redraws;
    for (int poll = 1; poll <= 21; ++poll) {
        root.SetDirty(false);
        button.SetDirty(false);
        if (manager.NeedsRedraw()) redraws.push_back(poll);
    }
    EXPECT_EQ(redraws.size(), 2u);
    // With the focus held, a change of the tree is still drawn.
    root.SetDirty(false);
    manager.InvalidateLayer(0);
    EXPECT_TRUE(manager.NeedsRedraw());
}

TEST_F(Tree, WithoutARootInputAnswersFalse)
{
    manager.SetRoot(nullptr);
    for (const UINT message : {UINT(WM_MOUSEMOVE), UINT(WM_LBUTTONDOWN), UINT(WM_LBUTTONUP), UINT(WM_LBUTTONDBLCLK),
                               UINT(WM_CHAR), UINT(WM_KEYDOWN), UINT(WM_MOUSEWHEEL)})
        EXPECT_EQ(manager.OnMessage(message, 0, 0), 0) << message;
    EXPECT_FALSE(manager.NeedsRedraw());
    EXPECT_EQ(heard(), Log{});
}

TEST_F(Tree, AKeyDownWaitsForTheFrameBeingDrawn)
{
    send(WM_LBUTTONDOWN, 0, at(115, 115), 1);
    button.SetFocusable(true);
    button.Activate();
    std::atomic<bool> delivered{false};
    std::thread ui;
    {
        CMutexGuard frame(UIRenderMutex());
        ui = std::thread([&] {
            manager.OnMessage(WM_KEYDOWN, 0x2E, 0);
            delivered = true;
        });
        // The key's widget part cannot run while the frame holds the lock.
        for (int i = 0; i < 1000 && !delivered; ++i) std::this_thread::yield();
        EXPECT_FALSE(delivered);
    }
    ui.join();
    EXPECT_TRUE(delivered);
}

TEST(uiMgr, DebugOutputWritesItsTextToTheDebugSink)
{
    plat::DebugCapture capture;
    UI::uiMgr::Instance().DebugOutput(u"window_click: caf\u00E9");
    UI::uiMgr::Instance().DebugOutput(nullptr);
    EXPECT_EQ(capture.lines(), std::vector<std::string>{"window_click: caf\xC3\xA9"});
}

TEST(StopWatch, TheFirstLapIs30)
{
    UI::StopWatch watch;
    EXPECT_EQ(watch.Lap(), 30);
    EXPECT_GE(watch.Lap(), 0);
    EXPECT_LT(watch.LastLap(), 30);
}

TEST_F(Tree, AReleaseAwayFromTheHoverWidgetReachesItToo)
{
    send(WM_MOUSEMOVE, 0, at(115, 115), 1);
    // The button handles its release, yet the panel under the mouse still gets its own.
    EXPECT_EQ(send(WM_LBUTTONUP, 0, at(250, 250), 1), (Log{"button:up", "panel:up"}));
}

TEST_F(Tree, TheTooltipFollowsTheEnteredWidget)
{
    Probe tip{"tip", 0, 0, 10, 10};
    UI::EventArgs entered;
    entered.sender = &button;
    EXPECT_FALSE(manager.OnTooltipTarget(entered));   // no tooltip yet: nothing
    manager.SetTooltip(&tip);
    button.SetText(u"Play");
    EXPECT_FALSE(manager.OnTooltipTarget(entered));
    // At the button's place in the window (inside the panel at 100, 100), not at its place in the panel.
    EXPECT_FLOAT_EQ(tip.GetX(), 110);
    EXPECT_FLOAT_EQ(tip.GetY(), 110);
    EXPECT_EQ(tip.GetText(), u"Play");
    // A tooltip hung inside a moved parent is placed in that parent's terms.
    UI::window layer{"layer"};
    layer.SetPos(30, 40);
    layer.SetSize(800, 600);
    root.AddChild(&layer);
    layer.AddChild(&tip);
    EXPECT_FALSE(manager.OnTooltipTarget(entered));
    EXPECT_FLOAT_EQ(tip.GetX(), 80);
    EXPECT_FLOAT_EQ(tip.GetY(), 70);
    layer.RemoveChild(&tip);
    root.RemoveChild(&layer);
    UI::EventArgs nobody;
    EXPECT_FALSE(manager.OnTooltipTarget(nobody));
    manager.SetTooltip(nullptr);
}

TEST_F(Tree, ADeviceToResetIsAskedOfTheMainWindow)
{
    use_dummy_video();
    register_class(u"UiMgrTest", recording_proc, 0);
    HWND main = CreateWindowExW(0, u"UiMgrTest", u"main", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(main, nullptr);
    manager.SetHwnd(main);
    drain();
    received().clear();
    EXPECT_EQ(manager.OnDeviceEvent(0x10001, 0, 0), 0);
    EXPECT_EQ(manager.OnDeviceEvent(0x10003, 0, 0), 0);
    drain();
    EXPECT_EQ(received(), (std::vector<Received>{{2027, 0, 0}}));
    EXPECT_TRUE(manager.WantsEvent(0x10002));
    EXPECT_FALSE(manager.WantsEvent(0x10003));
    manager.SetHwnd(nullptr);
    DestroyWindow(main);
}

TEST_F(Tree, AResizeSizesBothRootsAndTheSurfacesInUse)
{
    plat::TempFolder home;
    plat::ScopedEnvironment home_env("HOME", home.path().c_str());
    plat::ScopedEnvironment data_env("XDG_DATA_HOME", (home / "data").c_str());
    CAppSettings settings;
    settings.SetNumber(4, 900);
    settings.SetNumber(5, 500);
    UI::window overlay("rootui");
    overlay.CreateBackBuffer(1024, 768);
    root.AddChild(&overlay);
    manager.SetOverlayRoot(&overlay);
    overlay.SetDirty(false);
    heard().clear();

    EXPECT_EQ(manager.Resize(), 0);
    EXPECT_FLOAT_EQ(root.GetWidth(), 900);
    EXPECT_FLOAT_EQ(root.GetHeight(), 500);
    EXPECT_FLOAT_EQ(overlay.GetWidth(), 900);
    ASSERT_NE(overlay.GetBackBuffer(), nullptr);
    EXPECT_EQ(overlay.GetBackBuffer()->m_width, 900u);
    EXPECT_EQ(overlay.GetBackBuffer()->m_alloc_width, 1024u);   // the surface stays; only its used part changes
    EXPECT_TRUE(overlay.IsDirty());
    EXPECT_EQ(heard(), Log{"logic:windowstate"});
    manager.SetOverlayRoot(nullptr);
}

namespace {

// Never done; records each step it is given.
struct StepLog : UI::ATimeLine {
    std::vector<int> steps;
    bool IsDone() override { return false; }
    bool Start(int) override { return true; }
    bool Step(int ms) override
    {
        steps.push_back(ms);
        return true;
    }
};

}  // namespace

TEST_F(Tree, TheFirstRenderStepsAnimationsBy30AndTheTooltipDrawsLast)
{
    test::Swatch shown("shown");
    shown.SetSize(10, 10);
    root.AddChild(&shown);
    test::Swatch tip("tip");
    tip.SetSize(10, 10);
    manager.SetTooltip(&tip);
    StepLog line;
    manager.GetAnimations().AddTimeLine(line);

    manager.Render();
    ASSERT_EQ(line.steps.size(), 1u);
    EXPECT_EQ(line.steps[0], 30);
    std::vector<std::string> drawn;
    for (const auto& op : scene.render->ops)
        if (op.what == "picture") drawn.push_back(op.source);
    ASSERT_GE(drawn.size(), 2u);
    EXPECT_EQ(drawn.back(), "tip");
    EXPECT_NE(std::find(drawn.begin(), drawn.end(), "shown"), drawn.end());

    manager.Render();
    EXPECT_LT(line.steps.at(1), 30);   // the time since the first, not 30 again
    manager.GetAnimations().StopAll();
    manager.SetTooltip(nullptr);
}

// The tip tells about the widget under the pointer: when that widget goes
// (hidden, or slid away with its window) the tip goes too, though the pointer
// never moved; so it does when the pointer leaves.
TEST_F(Tree, TheTooltipGoesWithItsWidget)
{
    test::Swatch tip("tip");
    tip.SetSize(10, 10);
    manager.SetTooltip(&tip);
    const auto tip_drawn = [&] {
        scene.render->ops.clear();
        manager.Render();
        return std::any_of(scene.render->ops.begin(), scene.render->ops.end(),
                           [](const auto& op) { return op.what == "picture" && op.source == "tip"; });
    };
    const struct {
        const char* what;
        void (*take_away)(Tree&);
    } cases[] = {
        {"its window hidden", [](Tree& t) { t.panel.Show(false); }},
        {"its window slid away", [](Tree& t) { t.panel.SetPos(100, 400); }},
        {"the pointer left it", [](Tree& t) { t.send(WM_MOUSEMOVE, 0, at(500, 500), 0); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        send(WM_MOUSEMOVE, 0, at(115, 115), 1);   // the pointer rests on the button
        UI::EventArgs entered;
        entered.sender = &button;
        manager.OnTooltipTarget(entered);
        EXPECT_TRUE(tip_drawn());
        c.take_away(*this);
        EXPECT_FALSE(tip_drawn());
        EXPECT_FALSE(tip.GetShowState()) << "hidden, so the tree does not draw it either";
        panel.Show(true);
        panel.SetPos(100, 100);
    }
    manager.SetTooltip(nullptr);
}

TEST_F(Tree, TheComposeServersLastReleaseLeavesTheManager)
{
    manager.AddRef();
    manager.Release();
    manager.Release();
    EXPECT_EQ(&UI::uiMgr::Instance(), &manager);
    EXPECT_EQ(send(WM_MOUSEMOVE, 0, at(115, 115), 1),
              (Log{"button:enter", "button:move", "logic:edge115,115", "logic:move"}));
}
