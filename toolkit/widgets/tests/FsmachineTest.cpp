#include "toolkit/widgets/fsmachine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

enum class Pos { Docked, Floating, Hidden, Unknown };
enum class Ev { Drag, Dock, Hide };
using Machine = fsmachine<Pos, Ev>;

Machine docking_machine()
{
    Machine m;
    m.AddState(Pos::Docked);
    m.AddState(Pos::Floating);
    m.AddState(Pos::Hidden);
    m.AddTransition(Pos::Docked, Ev::Drag, Pos::Floating);
    m.AddTransition(Pos::Floating, Ev::Dock, Pos::Docked);
    m.AddTransition(Pos::Floating, Ev::Hide, Pos::Hidden);
    return m;
}

}

TEST(Fsmachine, AddingAStateTwiceKeepsItsTransitions)
{
    Machine m = docking_machine();
    EXPECT_FALSE(m.AddState(Pos::Docked));
    m.SetState(Pos::Docked);
    m.Fire(Ev::Drag, [](Machine) {}, [](Machine) {});
    EXPECT_EQ(m.CurrentState(), Pos::Floating);
}

TEST(Fsmachine, RefusedTransitionsAddNothing)
{
    const struct {
        const char* name;
        Pos from;
        Ev event;
        Pos to;
        std::optional<Pos> after;   // after SetState(from) and Fire(event)
    } refused[] = {
        {"to itself", Pos::Hidden, Ev::Drag, Pos::Hidden, Pos::Hidden},
        {"to an unknown state", Pos::Hidden, Ev::Drag, Pos::Unknown, Pos::Hidden},
        {"from an unknown state", Pos::Unknown, Ev::Drag, Pos::Docked, std::nullopt},
        {"an event that already leads somewhere", Pos::Docked, Ev::Drag, Pos::Hidden, Pos::Floating},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.name);
        Machine m = docking_machine();
        m.AddTransition(c.from, c.event, c.to);
        m.SetState(c.from);
        m.Fire(c.event, [](Machine) {}, [](Machine) {});
        EXPECT_EQ(m.CurrentState(), c.after);
    }
}

TEST(Fsmachine, FiringRunsExitInTheOldStateThenEntryInTheNew)
{
    Machine m = docking_machine();
    m.SetState(Pos::Floating);
    std::vector<std::string> log;
    m.Fire(
        Ev::Hide, [&](Machine copy) { log.push_back(copy.CurrentState() == Pos::Hidden ? "entry new" : "entry old"); },
        [&](Machine copy) { log.push_back(copy.CurrentState() == Pos::Floating ? "exit old" : "exit new"); });
    EXPECT_EQ(log, (std::vector<std::string>{"exit old", "entry new"}));
    EXPECT_EQ(m.CurrentState(), Pos::Hidden);
}

TEST(Fsmachine, AnEventWithoutTransitionRunsNoAction)
{
    Machine m = docking_machine();
    m.SetState(Pos::Docked);
    int actions = 0;
    m.Fire(Ev::Hide, [&](Machine) { ++actions; }, [&](Machine) { ++actions; });
    EXPECT_EQ(actions, 0);
    EXPECT_EQ(m.CurrentState(), Pos::Docked);
}

TEST(Fsmachine, WithoutAStateNothingFiresAndNoStateIsReported)
{
    Machine m = docking_machine();
    EXPECT_EQ(m.CurrentState(), std::nullopt);
    m.SetState(Pos::Unknown);   // not in the table: ignored
    EXPECT_EQ(m.CurrentState(), std::nullopt);
    int actions = 0;
    for (Ev e : {Ev::Drag, Ev::Dock, Ev::Hide}) m.Fire(e, [&](Machine) { ++actions; }, [&](Machine) { ++actions; });
    EXPECT_EQ(actions, 0);
    EXPECT_EQ(m.CurrentState(), std::nullopt);
}
