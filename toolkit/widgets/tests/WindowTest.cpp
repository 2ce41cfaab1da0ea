#include "toolkit/widgets/InputState.h"
#include "toolkit/widgets/MouseEventArgs.h"
#include "toolkit/widgets/WindowSurface.h"
#include "toolkit/widgets/tests/WidgetRig.h"
#include "toolkit/widgets/window.h"

#include "platform/window/Cursor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using test::Op;

namespace {

template <typename T>
T* place(UI::widget& parent, T* child, UI::frect rect)
{
    child->SetPos(rect.x, rect.y);
    child->SetSize(rect.width, rect.height);
    parent.AddChild(child);
    return child;
}

UI::MouseEventArgs mouse(float x, float y)
{
    UI::MouseEventArgs e;
    e.position = {x, y};
    return e;
}

void expect_rect(const UI::frect& got, const UI::frect& expected)
{
    EXPECT_FLOAT_EQ(got.x, expected.x);
    EXPECT_FLOAT_EQ(got.y, expected.y);
    EXPECT_FLOAT_EQ(got.width, expected.width);
    EXPECT_FLOAT_EQ(got.height, expected.height);
}

const Op* find_op(const std::vector<Op>& ops, const std::string& what, const std::string& source)
{
    for (const Op& op : ops)
        if (op.what == what && op.source == source) return &op;
    return nullptr;
}

// A 400 x 300 root window without a surface of its own, laid out.
struct Desk {
    test::RecordingScene scene;
    UI::window root{"root"};
    Desk() { root.SetSize(400, 300); }
    std::vector<Op>& ops() { return scene.render->ops; }
};

}

TEST(Window, BufferedWindowRedrawsOnlyWhenSomethingInItChanged)
{
    Desk desk;
    auto* pane = place(desk.root, new UI::window("pane"), {20, 30, 0, 0});
    pane->CreateBackBuffer(100, 80);
    pane->SetClearColor(255, 10, 20, 30);
    auto* swatch = place(*pane, new test::Swatch("swatch"), {5, 5, 10, 10});

    desk.root.Draw();
    EXPECT_EQ(desk.scene.render->sources(),
              (std::vector<std::string>{"clear  -> buffer 1", "picture swatch -> buffer 1", "buffer buffer 1 -> screen"}));
    expect_rect(desk.ops()[0].rect, {10, 20, 30, 0});   // the clear colour
    expect_rect(desk.ops()[1].rect, {5, 5, 10, 10});    // inside the surface
    expect_rect(desk.ops()[2].rect, {20, 30, 100, 80}); // composed at the window's place
    EXPECT_FLOAT_EQ(desk.ops()[2].alpha, 1.0f);

    desk.ops().clear();
    desk.root.Draw();
    EXPECT_EQ(desk.scene.render->sources(), (std::vector<std::string>{"buffer buffer 1 -> screen"}));

    desk.ops().clear();
    swatch->Invalidate();
    desk.root.Draw();
    EXPECT_EQ(desk.ops().size(), 3u);
}

TEST(Window, NothingIsDrawnBelowAlphaFive)
{
    const struct {
        float alpha;
        std::size_t ops;
    } cases[] = {{0, 0}, {4, 0}, {4.99f, 0}, {5, 3}, {255, 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.alpha);
        Desk desk;
        auto* pane = place(desk.root, new UI::window("pane"), {0, 0, 0, 0});
        pane->CreateBackBuffer(50, 50);
        place(*pane, new test::Swatch("swatch"), {0, 0, 10, 10});
        pane->SetAlpha(c.alpha);
        desk.root.Draw();
        ASSERT_EQ(desk.ops().size(), c.ops);
        if (c.ops) {
            EXPECT_FLOAT_EQ(desk.ops().back().alpha, c.alpha / 255);
        }
    }
}

TEST(Window, WindowWithoutSurfaceFadesItsChildrenAndRestoresTheirAlpha)
{
    Desk desk;
    auto* plain = place(desk.root, new UI::window("plain"), {10, 10, 100, 100});
    auto* swatch = place(*plain, new test::Swatch("swatch"), {5, 5, 10, 10});
    swatch->SetAlpha(200);
    plain->SetAlpha(127.5f);
    desk.root.Draw();
    ASSERT_EQ(desk.ops().size(), 1u);
    EXPECT_NEAR(desk.ops()[0].alpha, 200.0f / 255 * 0.5f, 1e-6);
    expect_rect(desk.ops()[0].rect, {15, 15, 10, 10});   // no surface: drawn where it lies on the screen
    EXPECT_FLOAT_EQ(swatch->GetAlpha(), 200);
}

TEST(Window, MarginsClipChildrenAndClipsNestWithinOneSurface)
{
    Desk desk;
    // Right margin 0: no clip at all.
    auto* open = place(desk.root, new UI::window("open"), {0, 0, 100, 100});
    open->SetMargins(10, 10, 0, 10);
    place(*open, new test::Swatch("unclipped"), {0, 0, 10, 10});
    // Two windows without surfaces: the inner clip is cut by the outer one.
    auto* outer = place(desk.root, new UI::window("outer"), {50, 50, 200, 200});
    outer->SetMargins(10, 10, 10, 10);
    auto* inner = place(*outer, new UI::window("inner"), {100, 0, 200, 100});
    inner->SetMargins(5, 5, 5, 5);
    place(*inner, new test::Swatch("nested"), {0, 0, 10, 10});
    // A window with its own surface clips in that surface only.
    auto* boxed = place(*outer, new UI::window("boxed"), {20, 20, 0, 0});
    boxed->CreateBackBuffer(50, 50);
    boxed->SetMargins(2, 2, 2, 2);
    place(*boxed, new test::Swatch("boxed child"), {0, 0, 10, 10});
    desk.root.UpdateLayout();

    desk.root.Draw();
    expect_rect(find_op(desk.ops(), "picture", "unclipped")->clip, {0, 0, 0, 0});
    expect_rect(find_op(desk.ops(), "picture", "nested")->clip, {155, 60, 240, 145});
    expect_rect(find_op(desk.ops(), "picture", "boxed child")->clip, {2, 2, 48, 48});
    expect_rect(find_op(desk.ops(), "buffer", "buffer 1")->clip, {60, 60, 240, 240});   // composed under outer's clip
    expect_rect(RenderEngine::GetRenderTarget()->GetClip(), {0, 0, 0, 0});             // every clip undone
    expect_rect(boxed->GetBackBuffer()->GetClip(), {0, 0, 0, 0});
}

TEST(Window, HitTestsHonourMarginsAndTheParent)
{
    Desk desk;
    auto* framed = place(desk.root, new UI::window("framed"), {100, 100, 200, 100});
    framed->SetMargins(10, 10, 10, 10);
    auto* overhang = place(desk.root, new UI::window("overhang"), {350, 10, 100, 50});
    const struct {
        const char* name;
        UI::window* w;
        bool clip_to_parent;
        float x, y;
        bool hit;
    } cases[] = {
        {"inside the margins", framed, true, 150, 150, true},
        {"in the left margin", framed, true, 105, 150, false},
        {"in the right margin", framed, true, 295, 150, false},
        {"in the bottom margin", framed, true, 150, 195, false},
        {"outside the parent", overhang, true, 420, 20, false},
        {"outside the parent, not clipped to it", overhang, false, 420, 20, true},
        {"inside both", overhang, true, 380, 20, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.w->SetClipHitsToParent(c.clip_to_parent);
        EXPECT_EQ(c.w->HitTest(c.x, c.y), c.hit);
    }
    desk.root.UpdateLayout();
    EXPECT_TRUE(framed->HitTestScreen(150, 150));
    EXPECT_FALSE(framed->HitTestScreen(105, 150));
}

TEST(Window, BufferedWindowScalesWithItsSurface)
{
    Desk desk;
    auto* pane = place(desk.root, new UI::window("pane"), {0, 0, 0, 0});
    pane->CreateBackBuffer(100, 50);
    pane->SetSize(200, 25);
    EXPECT_FLOAT_EQ(pane->GetScaleX(), 2);
    EXPECT_FLOAT_EQ(pane->GetScaleY(), 0.5f);
    EXPECT_FLOAT_EQ(pane->GetTotalScaleX(), 2);
    auto* plain = place(*pane, new UI::window("plain"), {0, 0, 10, 10});
    plain->SetScale(3, 3);   // without a surface its own scale is ignored
    EXPECT_FLOAT_EQ(plain->GetTotalScaleX(), 2);
    EXPECT_FLOAT_EQ(desk.root.GetTotalScaleX(), 1);
}

TEST(Window, MovableWindowIsDraggedUntilRelease)
{
    Desk desk;
    auto* panel = place(desk.root, new UI::window("panel"), {50, 40, 100, 80});
    panel->SetMovable(true);
    desk.root.UpdateLayout();

    auto down = mouse(60, 50);
    panel->OnMouseDown(down);
    EXPECT_EQ(down.handled, 1);
    EXPECT_TRUE(panel->IsPressed());
    EXPECT_TRUE(panel->IsPressedInside());
    EXPECT_EQ(UI::GetFocusedWidget(), panel);
    auto move = mouse(160, 150);
    panel->OnMouseMove(move);
    EXPECT_FLOAT_EQ(panel->GetX(), 150);
    EXPECT_FLOAT_EQ(panel->GetY(), 140);
    auto up = mouse(160, 150);
    panel->OnMouseUp(up);
    EXPECT_FALSE(panel->IsPressed());
    EXPECT_FALSE(panel->IsPressedInside());
    panel->OnMouseMove(move = mouse(10, 10));
    EXPECT_FLOAT_EQ(panel->GetX(), 150);   // released: no longer follows

    UI::window orphan("orphan");   // a window without parent ignores presses
    orphan.SetMovable(true);
    auto ignored = mouse(1, 1);
    orphan.OnMouseDown(ignored);
    EXPECT_EQ(ignored.handled, 0);
    EXPECT_FALSE(orphan.IsPressed());
    UI::SetFocusedWidget(nullptr);
}

TEST(Window, DraggedWindowSnapsToParentEdges)
{
    const struct {
        const char* name;
        UI::fpoint to;   // where the window's corner is dragged
        UI::fpoint expected;
    } cases[] = {
        {"near the left edge", {5, 100}, {2, 100}},
        {"near the top edge", {150, -6}, {150, 3}},
        {"near the right edge", {296, 100}, {304, 100}},
        {"near the bottom edge", {150, 218}, {150, 225}},
        {"near a corner", {-3, 219}, {2, 225}},
        {"far from every edge", {150, 100}, {150, 100}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Desk desk;
        auto* panel = place(desk.root, new UI::window("panel"), {150, 100, 100, 80});
        panel->SetMovable(true);
        panel->SetSnap(true, 8, {2, 3, 4, 5});
        desk.root.UpdateLayout();
        auto down = mouse(160, 110);
        panel->OnMouseDown(down);
        auto move = mouse(c.to.x + 10, c.to.y + 10);
        panel->OnMouseMove(move);
        EXPECT_FLOAT_EQ(panel->GetX(), c.expected.x);
        EXPECT_FLOAT_EQ(panel->GetY(), c.expected.y);
        desk.root.UpdateLayout();   // the snap holds through a later layout
        EXPECT_FLOAT_EQ(panel->GetX(), c.expected.x);
        UI::SetFocusedWidget(nullptr);
    }
}

TEST(Window, EdgesResizeWithinTheMinimum)
{
    const struct {
        const char* name;
        int edges;
        bool movable;
        UI::fpoint press, to;
        UI::frect expected;
        bool pressed;
    } cases[] = {
        {"right edge", UI::EdgeRight, false, {298, 150}, {350, 150}, {100, 100, 250, 100}, true},
        {"right grip counts as the edge", UI::EdgeRight, false, {291, 150}, {350, 150}, {100, 100, 250, 100}, true},
        {"left edge keeps the right one", UI::EdgeLeft, false, {101, 150}, {60, 150}, {58, 100, 240, 100}, true},
        {"left edge below the minimum", UI::EdgeLeft, false, {101, 150}, {200, 150}, {100, 100, 200, 100}, true},
        {"bottom edge", UI::EdgeBottom, false, {150, 195}, {150, 260}, {100, 100, 200, 160}, true},
        {"top left corner", UI::EdgeTop | UI::EdgeLeft, false, {101, 101}, {80, 70}, {78, 68, 220, 130}, true},
        {"left press, only right allowed", UI::EdgeRight, false, {103, 150}, {60, 150}, {100, 100, 200, 100}, false},
        {"left press, only right allowed, movable", UI::EdgeRight, true, {103, 150}, {83, 150}, {80, 100, 200, 100},
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Desk desk;
        auto* panel = place(desk.root, new UI::window("panel"), {100, 100, 200, 100});
        panel->SetResizable(true, c.edges);
        panel->SetMovable(c.movable);
        panel->SetMinSize(150, 50);
        desk.root.UpdateLayout();
        auto down = mouse(c.press.x, c.press.y);
        panel->OnMouseDown(down);
        EXPECT_EQ(panel->IsPressed(), c.pressed);
        auto move = mouse(c.to.x, c.to.y);
        panel->OnMouseMove(move);
        expect_rect({panel->GetX(), panel->GetY(), panel->GetWidth(), panel->GetHeight()}, c.expected);
        auto up = mouse(c.to.x, c.to.y);
        panel->OnMouseUp(up);
        EXPECT_FALSE(panel->IsPressed());
        UI::SetFocusedWidget(nullptr);
    }
}

TEST(Window, LeftEdgeDragAfterAMoveKeepsTheRightEdge)
{
    Desk desk;
    auto* panel = place(desk.root, new UI::window("panel"), {100, 100, 200, 100});
    panel->SetMovable(true);
    panel->SetResizable(true, UI::EdgeLeft);
    desk.root.UpdateLayout();
    auto press = mouse(150, 150);
    panel->OnMouseDown(press);   // a plain move first: drag offset (50, 50)
    auto moved = mouse(170, 150);
    panel->OnMouseMove(moved);
    auto up = mouse(170, 150);
    panel->OnMouseUp(up);
    ASSERT_FLOAT_EQ(panel->GetX(), 120);

    auto edge = mouse(121, 150);
    panel->OnMouseDown(edge);
    auto drag = mouse(100, 150);
    panel->OnMouseMove(drag);
    EXPECT_FLOAT_EQ(panel->GetWidth(), 220);   // the right edge stays at 320
    EXPECT_FLOAT_EQ(panel->GetX(), 98);
    UI::SetFocusedWidget(nullptr);
}

TEST(Window, ResizableWindowShowsTheEdgeCursor)
{
    const struct {
        int edges;
        UI::fpoint at;
        LPCWSTR cursor;
    } cases[] = {
        {0xf0, {101, 101}, IDC_SIZENWSE}, {0xf0, {298, 195}, IDC_SIZENWSE}, {0xf0, {101, 195}, IDC_SIZENESW},
        {0xf0, {298, 101}, IDC_SIZENESW}, {0xf0, {101, 150}, IDC_SIZEWE},   {0xf0, {150, 101}, IDC_SIZENS},
        {0xf0, {150, 150}, IDC_ARROW},    {UI::EdgeRight, {101, 150}, IDC_ARROW},
        {UI::EdgeRight, {101, 101}, IDC_ARROW}, {UI::EdgeTop | UI::EdgeRight, {101, 101}, IDC_SIZENS},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.at.x << "," << c.at.y << " edges " << c.edges);
        Desk desk;
        auto* panel = place(desk.root, new UI::window("panel"), {100, 100, 200, 100});
        panel->SetResizable(true, c.edges);
        desk.root.UpdateLayout();
        SetCursor(nullptr);
        auto e = mouse(c.at.x, c.at.y);
        panel->OnMouseMove(e);
        EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, c.cursor));
        EXPECT_EQ(e.cursor_set, 1);
        EXPECT_EQ(e.handled, 1);
    }
    Desk desk;
    auto* fixed = place(desk.root, new UI::window("fixed"), {100, 100, 200, 100});
    SetCursor(nullptr);
    auto e = mouse(101, 101);
    fixed->OnMouseMove(e);
    EXPECT_EQ(GetCursor(), nullptr);
    EXPECT_EQ(e.cursor_set, 0);
}

TEST(Window, MouseEventsFireInOrder)
{
    // Global slots live as long as the process, and so must what they write to.
    static std::vector<std::string> log;
    log.clear();
    struct Noter {
        std::vector<std::string>* log;
        std::string tag;
        enum { Plain, Value, Mouse } record = Plain;   // what the event carries
        bool On(UI::EventArgs& args)
        {
            std::string line = tag;
            if (record == Value) line += " " + std::to_string(static_cast<UI::ValueEventArgs&>(args).value);
            if (record == Mouse) line += " at " + std::to_string(int(static_cast<UI::MouseEventArgs&>(args).position.x));
            log->push_back(line);
            return false;
        }
    };
    Noter own_click{&log, "click"}, own_down{&log, "down", Noter::Mouse},
        enter_leave{&log, "enter/leave", Noter::Value}, tooltip{&log, "tooltip"}, move{&log, "move"};
    static Noter global_click{&log, "global click"}, global_down{&log, "global down", Noter::Mouse};
    static const bool subscribed = [] {
        UI::GlobalEventSet& global = UI::GlobalEventSet::Instance();
        global.GetEvent("window_click", true)->Subscribe(&Noter::On, &global_click);
        global.GetEvent("window_LbtnDown", true)->Subscribe(&Noter::On, &global_down);
        return true;
    }();
    ASSERT_TRUE(subscribed);

    Desk desk;
    auto* panel = place(desk.root, new UI::window("panel"), {10, 10, 100, 100});
    panel->GetEvent("window_click", true)->Subscribe(&Noter::On, &own_click);
    panel->GetEvent("window_LbtnDown", true)->Subscribe(&Noter::On, &own_down);
    panel->GetEvent("window_EnterLeave", true)->Subscribe(&Noter::On, &enter_leave);
    panel->GetEvent("tooltips_target", true)->Subscribe(&Noter::On, &tooltip);
    panel->GetEvent("window_MouseMove", true)->Subscribe(&Noter::On, &move);

    panel->OnMouseEnter();
    auto e = mouse(42, 42);
    panel->OnMouseDown(e);
    panel->OnMouseMove(e);
    panel->OnMouseLeave();
    EXPECT_EQ(log, (std::vector<std::string>{"tooltip", "enter/leave 1", "global click", "click", "global down at 42",
                                             "down at 42", "move", "enter/leave 0"}));
}

TEST(Window, ZoomIsSteppedOncePerDrawForwardsAndBackwards)
{
    const struct {
        const char* name;
        UI::slowerparams params;
        bool keep_shown;
    } cases[] = {
        {"forwards, kept shown", {0, 0.5f, 1.0f, 4, 0.01f}, true},
        {"backwards, hidden at the end", {0, 1.0f, 0.5f, 4, 0.01f}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Desk desk;
        auto* zoomer = place(desk.root, new UI::window("zoomer"), {100, 50, 200, 100});
        place(*zoomer, new test::Swatch("content"), {0, 0, 200, 100});
        zoomer->SetZoomBuffer(UI::CreateWindowSurface(200, 100));
        zoomer->GetZoom().SetParams(c.params);
        zoomer->GetZoom().SetKeepShown(c.keep_shown);
        ASSERT_TRUE(zoomer->GetZoom().Start());

        float value = c.params.start;
        for (int frame = 1; frame <= 13; ++frame) {
            SCOPED_TRACE(frame);
            desk.ops().clear();
            desk.root.Draw();
            value += (c.params.target - value) / 4;
            const Op* copy = find_op(desk.ops(), "buffer", "buffer 1");
            ASSERT_NE(copy, nullptr);
            // Drawn about the window's centre (200, 100) at the zoom's scale.
            expect_rect(copy->rect, {200 - 100 * value, 100 - 50 * value, 200 * value, 100 * value});
            // Only the first frame draws the content, into the copy.
            const Op* content = find_op(desk.ops(), "picture", "content");
            EXPECT_EQ(content != nullptr, frame == 1);
            if (content) {
                EXPECT_EQ(content->target, "buffer 1");
                expect_rect(content->rect, {0, 0, 200, 100});   // at the copy's own origin
            }
        }
        desk.ops().clear();
        desk.root.Draw();   // the 14th frame ends the zoom
        EXPECT_TRUE(zoomer->GetZoom().IsIdle());
        EXPECT_EQ(find_op(desk.ops(), "buffer", "buffer 1"), nullptr);
        expect_rect({zoomer->GetX(), zoomer->GetY(), zoomer->GetWidth(), zoomer->GetHeight()}, {100, 50, 200, 100});
        EXPECT_EQ(zoomer->IsVisible(), c.keep_shown);
        // Kept shown, it draws itself again, straight onto the screen.
        EXPECT_EQ(find_op(desk.ops(), "picture", "content") != nullptr, c.keep_shown);
    }
}

TEST(Window, RaiseOnClickPutsTheWindowOnTopOfItsEqualSiblings)
{
    const struct {
        bool raise;
        std::vector<std::string> order;
    } cases[] = {{true, {"low", "b", "a"}}, {false, {"low", "a", "b"}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.raise);
        Desk desk;
        auto* a = place(desk.root, new UI::window("a"), {0, 0, 100, 100});
        place(desk.root, new UI::window("b"), {50, 50, 100, 100});
        auto* low = place(desk.root, new UI::window("low"), {0, 0, 10, 10});
        low->SetZOrder(100);
        a->SetRaiseOnClick(c.raise);
        auto down = mouse(60, 60);
        a->OnMouseDown(down);
        std::vector<std::string> order;
        for (const UI::widget* w : desk.root.ChildrenInZOrder()) order.push_back(w->GetName());
        EXPECT_EQ(order, c.order);
        EXPECT_EQ(desk.root.ChildAt(60, 60), c.raise ? static_cast<UI::widget*>(a) : desk.root.FindChild("b"));
    }
}

TEST(Window, OverlayComposesTheCachedSurfaceAtTheWindowsPlace)
{
    Desk desk;
    auto* pane = place(desk.root, new UI::window("pane"), {20, 30, 0, 0});
    pane->CreateBackBuffer(40, 20);
    place(*pane, new test::Swatch("swatch"), {0, 0, 5, 5});
    pane->DrawOverlay();
    EXPECT_EQ(desk.scene.render->sources(), (std::vector<std::string>{"buffer buffer 1 -> screen"}));
    expect_rect(desk.ops()[0].rect, {20, 30, 40, 20});
    EXPECT_FLOAT_EQ(desk.ops()[0].alpha, 1.0f);
    EXPECT_FALSE(pane->IsDirty());
}

TEST(Window, ResizingTellsTheWindowOnEveryMove)
{
    struct Counting : UI::window {
        using window::window;
        int resized = 0;
        void OnResized() override { ++resized; }
    };
    Desk desk;
    auto* panel = place(desk.root, new Counting("panel"), {100, 100, 200, 100});
    panel->SetResizable(true, UI::EdgeRight);
    panel->SetMinSize(100, 0);
    desk.root.UpdateLayout();
    auto down = mouse(298, 150);
    panel->OnMouseDown(down);
    for (float x : {320.0f, 340.0f, 150.0f}) {   // the last would go below the minimum width
        auto move = mouse(x, 150);
        panel->OnMouseMove(move);
    }
    EXPECT_EQ(panel->resized, 3);
    EXPECT_FLOAT_EQ(panel->GetWidth(), 240);
    UI::SetFocusedWidget(nullptr);
}
