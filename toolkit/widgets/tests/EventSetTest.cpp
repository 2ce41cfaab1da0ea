#include "toolkit/widgets/EventSet.h"
#include "toolkit/widgets/widget.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A subscriber that notes its call and answers a fixed result.
struct Handler {
    std::vector<std::string>* log;
    std::string tag;
    bool result;
    bool On(UI::EventArgs& args)
    {
        log->push_back(tag + (args.handled ? "+" : "-"));
        return result;
    }
};

}

TEST(EventSet, GlobalSubscribersRunFirstThenOwnInSubscriptionOrder)
{
    // A global slot lives as long as the process, and so must what it writes to.
    static std::vector<std::string> log;
    log.clear();
    Handler first{&log, "first", false}, second{&log, "second", false};
    static Handler global{&log, "global", true};
    static const bool subscribed =
        UI::GlobalEventSet::Instance().GetEvent("order_probe", true)->Subscribe(&Handler::On, &global) != nullptr;
    ASSERT_TRUE(subscribed);
    UI::widget w("button");
    w.GetEvent("order_probe", true)->Subscribe(&Handler::On, &first);
    w.GetEvent("order_probe", true)->Subscribe(&Handler::On, &second);

    UI::EventArgs args;
    EXPECT_EQ(w.FireEvent("order_probe", args), 0);
    // Each handler sees the flag as the handlers before it left it.
    EXPECT_EQ(log, (std::vector<std::string>{"global-", "first+", "second+"}));
    EXPECT_EQ(args.handled, 1);
}

TEST(EventSet, HandledIsTheOrOfEveryResult)
{
    const struct {
        std::vector<bool> results;
        BYTE handled;
    } cases[] = {
        {{}, 0}, {{false}, 0}, {{true}, 1}, {{true, false}, 1}, {{false, true}, 1}, {{false, false, false}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.results.size());
        std::vector<std::string> log;
        std::vector<Handler> handlers;
        for (bool r : c.results) handlers.push_back({&log, "h", r});
        UI::widget w("w");
        for (Handler& h : handlers) w.GetEvent("or_probe", true)->Subscribe(&Handler::On, &h);
        UI::EventArgs args;
        w.FireEvent("or_probe", args);
        EXPECT_EQ(args.handled, c.handled);
        EXPECT_EQ(log.size(), c.results.size());   // no handler stops the others
    }
}

TEST(EventSet, FiringAnUnknownNameCreatesNothing)
{
    UI::widget w("w");
    UI::EventArgs args;
    EXPECT_EQ(w.FireEvent("nobody_listens", args), 0);
    EXPECT_EQ(args.handled, 0);
    EXPECT_EQ(w.GetEvent("nobody_listens", false), nullptr);
    EXPECT_EQ(UI::GlobalEventSet::Instance().GetEvent("nobody_listens", false), nullptr);
    UI::Event* made = w.GetEvent("nobody_listens", true);
    EXPECT_EQ(w.GetEvent("nobody_listens", false), made);
}

TEST(EventSet, SelectStateSurvivesHandlersThatReportHandled)
{
    std::vector<std::string> log;
    Handler controller{&log, "controller", true};
    UI::widget w("selectbtn");
    w.GetEvent("selectbtn_clicked", true)->Subscribe(&Handler::On, &controller);
    for (BYTE state : {BYTE(0), BYTE(1)}) {
        UI::SelectEventArgs args;
        args.sender = &w;
        args.selected = state;
        w.FireEvent("selectbtn_clicked", args);
        EXPECT_EQ(args.selected, state);
        EXPECT_EQ(args.handled, 1);
    }
}
