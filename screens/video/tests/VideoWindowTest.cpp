#include "components/common/regutil/ProgramKey.h"
#include "screens/video/loadinAnimation.h"
#include "screens/video/tests/VideoScene.h"

#include "platform/registry/Registry.h"
#include "platform/registry/testing/TemporaryRegistry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>
#include <random>
#include <vector>

using UI::videoposstatus;
using namespace UI;

namespace {

void set_corner_value(std::optional<DWORD> value)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, ProgramKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    if (value)
        RegSetValueExW(key, u"VideoRightBottom", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&*value), sizeof(DWORD));
    else
        RegDeleteValueW(key, u"VideoRightBottom");
    RegCloseKey(key);
}

// The position machine's events as the window reports them.
struct EventLog {
    std::vector<videoposevent> events;
    std::vector<const widget*> senders;
    bool On(EventArgs& e)
    {
        events.push_back(static_cast<videoposevent>(static_cast<ValueEventArgs&>(e).value));
        senders.push_back(e.sender);
        return false;
    }
    int senders_other_than(const widget* w) const
    {
        return int(std::count_if(senders.begin(), senders.end(), [w](const widget* s) { return s != w; }));
    }
};

void expect_centred(const test::VideoScene& s)
{
    const widget& v = *s.video;
    EXPECT_NEAR(v.GetX(), std::trunc((s.ClientWidth - v.GetWidth()) / 2), 1);
    EXPECT_NEAR(v.GetY(), std::trunc((s.ClientHeight - v.GetHeight()) / 2), 1);
}

}  // namespace

// Each row: bring the window to a state, apply an operation, and follow the
// machine through the frames until it rests.
TEST(videoplaywindow, StatesAndOperations)
{
    plat::TemporaryRegistry registry;
    using Setup = std::function<void(test::VideoScene&)>;
    const Setup centred = [](test::VideoScene& s) { s.show_centred(); };
    const Setup corner = [](test::VideoScene& s) { s.go_to_corner(); };
    const Setup to_corner = [](test::VideoScene& s) {
        s.show_centred();
        s.video->MoveToRightTop();
        s.frames(3);
    };
    const Setup to_center = [](test::VideoScene& s) {
        s.go_to_corner();
        s.video->MoveToCenter();
        s.frames(3);
    };
    const struct {
        const char* name;
        Setup setup;
        videoposstatus before;
        std::function<void(videoplaywindow&)> op;
        videoposstatus right_after;
        videoposstatus at_rest;
        const char* parent;
        int depth;
        std::vector<videoposevent> events;   // given to the machine from the operation until at rest
    } cases[] = {
        {"to the corner", centred, vpsCenter, &videoplaywindow::MoveToRightTop, vpsCenter2RightTop, vpsRightTop,
         "root", 700, {vpeToRightTop, vpeRightTopReached}},
        {"back from the corner", corner, vpsRightTop, &videoplaywindow::MoveToCenter, vpsRightTop2Center, vpsCenter,
         "root", 3, {vpeToCenter, vpeCenterReached}},
        {"turn back while moving to the corner", to_corner, vpsCenter2RightTop, &videoplaywindow::MoveToCenter,
         vpsRightTop2Center, vpsCenter, "root", 3, {vpeRightTopReached, vpeToCenter, vpeCenterReached}},
        {"turn back while moving to the centre", to_center, vpsRightTop2Center, &videoplaywindow::MoveToRightTop,
         vpsCenter2RightTop, vpsRightTop, "root", 700, {vpeCenterReached, vpeToRightTop, vpeRightTopReached}},
        {"reset in the corner", corner, vpsRightTop, &videoplaywindow::ResetPosition, vpsCenter, vpsCenter, "root",
         700, {vpeCenterReached}},
        // Given, and leading nowhere.
        {"reset in the centre", centred, vpsCenter, &videoplaywindow::ResetPosition, vpsCenter, vpsCenter, "root", 3,
         {vpeCenterReached}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::VideoScene s;
        c.setup(s);
        ASSERT_EQ(s.video->CurrentState(), c.before);
        EventLog log;
        s.video->GetEvent(videoplaywindow::PositionEvent, true)->Subscribe(&EventLog::On, &log);
        c.op(*s.video);
        EXPECT_EQ(s.video->CurrentState(), c.right_after);
        if (c.right_after == vpsCenter2RightTop || c.right_after == vpsRightTop2Center) {
            // While it moves, the window hangs under the overlay root.
            s.run_logic();
            EXPECT_EQ(s.video->GetParent()->GetName(), "rootui");
        }
        EXPECT_GE(s.frames_until(c.at_rest), 0);
        s.frames(2);
        EXPECT_EQ(s.video->GetParent()->GetName(), c.parent);
        EXPECT_EQ(s.video->GetZOrder(), c.depth);
        EXPECT_EQ(log.events, c.events);
        EXPECT_EQ(log.senders_other_than(s.video), 0);
    }
}

TEST(videoplaywindow, MoveToCenterOnAHiddenCentredWindowOnlyShowsIt)
{
    test::VideoScene s;
    ASSERT_FALSE(s.video->IsVisible());
    s.video->MoveToCenter();
    EXPECT_TRUE(s.video->IsVisible());
    EXPECT_EQ(s.video->CurrentState(), vpsCenter);
    EXPECT_TRUE(s.logic.logic_commands.empty());
    EXPECT_EQ(s.logic.paging, std::vector<bool>{false});
}

TEST(videoplaywindow, CornerFollowsVideoRightBottom)
{
    plat::TemporaryRegistry registry;
    const struct {
        std::optional<DWORD> value;
        bool bottom;
    } cases[] = {{1, true}, {0, false}, {std::nullopt, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value ? int(*c.value) : -1);
        set_corner_value(c.value);
        test::VideoScene s;
        s.video->SetVideoSize(640, 480);
        s.go_to_corner();
        const widget& v = *s.video;
        EXPECT_FLOAT_EQ(v.GetWidth(), 184);
        EXPECT_NEAR(v.GetHeight(), (184 - 12) / (4.0f / 3.0f) + 12, 1);
        EXPECT_FLOAT_EQ(v.GetX() + v.GetWidth(), s.ClientWidth - 9);
        if (c.bottom)
            EXPECT_FLOAT_EQ(v.GetY() + v.GetHeight(), s.ClientHeight - 25);
        else
            EXPECT_FLOAT_EQ(v.GetY(), 25);
    }
}

// From any size and place in the corner the move back never takes steps
// below a pixel, so it arrives at 364 high, centred.
TEST(videoplaywindow, MoveBackArrivesFromAnySize)
{
    plat::TemporaryRegistry registry;
    std::mt19937 random(31);
    std::uniform_real_distribution<float> height(20, 690);
    for (int round = 0; round < 12; ++round) {
        test::VideoScene s;
        s.go_to_corner();
        const float h = height(random);
        SCOPED_TRACE(h);
        s.video->SetPosRule(0, 0, 0, 0);
        s.video->SetSize(WidthForHeight(h, 4.0f / 3.0f), h);
        s.video->Geometry().current_height = h;
        s.video->MoveToCenter();
        ASSERT_EQ(s.video->CurrentState(), vpsRightTop2Center);
        EXPECT_GE(s.frames_until(vpsCenter, 800), 0);
        EXPECT_FLOAT_EQ(s.video->GetHeight(), 364);
        s.frame();
        expect_centred(s);
    }
}

TEST(videoplaywindow, LoadInGrowsAHiddenWindowAndRunsUntilStopped)
{
    plat::TemporaryRegistry registry;
    test::VideoScene s;
    s.go_to_corner();
    s.video->ResetPosition();
    s.video->Show(false);
    s.video->BeginLoadIn(100, 200, 62, 48);
    EXPECT_EQ(s.video->CurrentState(), vpsCenter);
    EXPECT_TRUE(s.video->IsLoading());
    EXPECT_TRUE(s.video->LoadingIndicator()->IsVisible());
    EXPECT_FLOAT_EQ(s.video->GetWidth(), 62);
    s.frames(120);
    EXPECT_NEAR(s.video->GetHeight(), 352, 1);
    EXPECT_NEAR(s.video->GetWidth(), 469.33334f, 1);
    EXPECT_TRUE(s.video->LoadIn().IsRunning());
    s.video->StopLoadIn();
    EXPECT_FALSE(s.video->LoadIn().IsRunning());
    EXPECT_FALSE(s.video->IsLoading());
    EXPECT_FALSE(s.video->LoadingIndicator()->IsVisible());
    EXPECT_TRUE(s.video->Picture()->IsVisible());
}

TEST(videoplaywindow, LoadInOnAVisibleWindowOnlyShowsTheIndicator)
{
    plat::TemporaryRegistry registry;
    test::VideoScene s;
    s.go_to_corner();
    const fpoint place = s.video->GetPos(), size = s.video->GetSize();
    s.video->BeginLoadIn(0, 0, 10, 10);
    EXPECT_EQ(s.video->CurrentState(), vpsRightTop);
    EXPECT_TRUE(s.video->LoadingIndicator()->IsVisible());
    EXPECT_FLOAT_EQ(s.video->GetX(), place.x);
    EXPECT_FLOAT_EQ(s.video->GetY(), place.y);
    EXPECT_FLOAT_EQ(s.video->GetWidth(), size.x);
}

TEST(videoplaywindow, FitModeStartsAFitOnlyWhenChangedAndApplied)
{
    test::VideoScene s;
    s.show_centred();
    s.video->SetVideoSize(1600, 900);
    s.frames(200);   // the ratio eases in
    s.video->SetFitMode(0, true);   // same mode: nothing
    EXPECT_FALSE(s.video->Center().Size().IsRunning());
    s.video->SetFitMode(1, false);  // not applied: only stored
    EXPECT_FALSE(s.video->Center().Size().IsRunning());
    EXPECT_EQ(s.video->GetFitMode(), 1);
    s.video->SetFitMode(0, true);
    ASSERT_TRUE(s.video->Center().Size().IsRunning());
    EXPECT_FLOAT_EQ(s.video->Geometry().target_height, 364);
    EXPECT_FLOAT_EQ(s.video->Geometry().target_width, 352 * 16.0f / 9.0f + 12);
    EXPECT_EQ(s.logic.logic_commands, std::vector<int>{videoplaywindow::RefreshWidget});
    s.frames(100);
    EXPECT_FLOAT_EQ(s.video->GetHeight(), 364);
    EXPECT_NEAR(s.video->GetWidth(), 352 * 16.0f / 9.0f + 12, 0.01);
}

TEST(videoplaywindow, ResetViewCentredShrinksToTheWarningStrip)
{
    test::VideoScene s;
    s.show_centred();
    s.video->ShowVideo();
    s.video->ResetView();
    EXPECT_FALSE(s.video->Picture()->IsVisible());
    EXPECT_FALSE(s.video->WasVideoShown());
    s.frames(100);
    EXPECT_FLOAT_EQ(s.video->GetWidth(), 600);
    EXPECT_FLOAT_EQ(s.video->GetHeight(), 40);
    expect_centred(s);
    EXPECT_EQ(s.logic.warning_pages, std::vector<int>{videoplaywindow::WarningPage});
}

TEST(videoplaywindow, AHeightOfZeroOrLessIsNoVideoSize)
{
    for (const float height : {0.0f, -5.0f}) {
        test::VideoScene s;
        s.video->SetVideoSize(640, height);
        EXPECT_FLOAT_EQ(s.video->Geometry().aspect, 4.0f / 3.0f);
        EXPECT_FALSE(s.video->Center().Ratio().IsRunning());
    }
}

TEST(videoplaywindow, TheRatioChangesTheAspectOnlyAtItsEnd)
{
    test::VideoScene s;
    s.show_centred();
    s.video->Center().SetRatio(16.0f / 9.0f);
    int frames = 0;
    while (s.video->Center().Ratio().IsRunning() && frames < 200) {
        EXPECT_FLOAT_EQ(s.video->Geometry().aspect, 4.0f / 3.0f);
        s.frame();
        ++frames;
    }
    EXPECT_FLOAT_EQ(s.video->Geometry().aspect, 16.0f / 9.0f);
    EXPECT_FLOAT_EQ(s.video->Geometry().shown_aspect, 16.0f / 9.0f);
    // The centred window keeps the shown ratio at its height, in whole pixels at the end.
    EXPECT_NEAR(s.video->GetWidth(), WidthForHeight(s.video->GetHeight(), 16.0f / 9.0f), 1);
    EXPECT_FLOAT_EQ(s.video->GetX(), std::trunc(s.video->GetX()));
}
