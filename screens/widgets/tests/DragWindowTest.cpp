#include "screens/widgets/wdragwindow.h"

#include "toolkit/controls/tests/ControlRig.h"
#include "toolkit/controls/wimage.h"

#include "platform/fs/testing/TempFolder.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

struct DragScene {
    test::ControlScene scene;
    UI::widget desk{"desk"};
    UI::wdragwindow* drag{new UI::wdragwindow("drag")};
    DragScene()
    {
        desk.SetSize(800, 600);
        desk.AddChild(drag);
        drag->Show(true);
    }
    std::vector<int> steps_to_arrival(int limit = 50)
    {
        std::vector<int> steps;
        for (int i = 0; i < limit && drag->IsVisible(); ++i) {
            const int x = int(drag->GetX());
            drag->Draw();
            if (!drag->IsVisible() || int(drag->GetX()) == x) break;
            steps.push_back(int(drag->GetX()) - x);
        }
        return steps;
    }
};

}  // namespace

TEST(wdragwindow, GlidesAThirdOfTheWayAndHidesOnArrival)
{
    DragScene s;
    s.drag->SetPos(0, 40);
    s.drag->GlideTo(100, 40, false);
    EXPECT_EQ(s.steps_to_arrival(), (std::vector<int>{33, 22, 15, 10, 6, 4, 3, 2, 2, 2}));
    s.drag->Draw();   // the last pixel snaps on, and the window hides
    EXPECT_FALSE(s.drag->IsVisible());
}

TEST(wdragwindow, SetTargetAloneStaysVisibleAtTheTarget)
{
    DragScene s;
    s.drag->SetPos(300, 200);
    s.drag->SetTarget(10, 20);
    for (int i = 0; i < 30; ++i) s.drag->Draw();
    EXPECT_TRUE(s.drag->IsVisible());
    EXPECT_FLOAT_EQ(s.drag->GetX(), 10);
    EXPECT_FLOAT_EQ(s.drag->GetY(), 20);
}

TEST(wdragwindow, FiresOnArrivalOnlyWhenAsked)
{
    // Global slots live as long as the global set, so the counter does too.
    static test::EventCounter finished{test::EventCounter::Kind::Plain};
    UI::GlobalEventSet::Instance().GetEvent("Dragwindow_dragfinished", true)->Subscribe(&test::EventCounter::On,
                                                                                       &finished);
    for (const bool fire : {false, true}) {
        SCOPED_TRACE(fire);
        DragScene s;
        finished.fired = 0;
        s.drag->SetPos(0, 0);
        s.drag->GlideTo(50, 50, fire);
        for (int i = 0; i < 30; ++i) s.drag->Draw();
        EXPECT_EQ(finished.fired, fire ? 1 : 0);
    }
}

TEST(wdragwindow, APictureThatCannotBeShownLeavesTheBlackDefault)
{
    DragScene s;
    plat::TempFolder folder;
    const std::string empty = folder / "empty.png";
    std::ofstream(empty).flush();
    const struct { std::string name; bool item_shown; } cases[] = {
        {"icon_big_MyFavorite", true},
        {folder / "missing.png", false},
        {empty, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        s.drag->SetImage(c.name);
        EXPECT_EQ(s.drag->FindChild("wimage_dragwindow")->IsVisible(), c.item_shown);
        EXPECT_EQ(s.drag->FindChild("wimage_defult-dragwindow")->IsVisible(), !c.item_shown);
    }
    EXPECT_FLOAT_EQ(s.drag->FindChild("wimage_dragwindow")->GetWidth(), 170 - 12);
}
