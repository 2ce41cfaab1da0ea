#include "core/app/KeepAwake.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Step {
    WPARAM kind;
    bool on;
    const char* told;   // what the system was told, if anything
};

TEST(KeepAwake, TheSystemHearsOnlyWhenTheFirstRequestStartsAndTheLastEnds)
{
    const struct {
        const char* name;
        std::vector<Step> steps;
    } sequences[] = {
        {"two kinds, the first cleared first",
         {{2, true, "on"}, {7, true, nullptr}, {2, false, nullptr}, {7, false, "off"}}},
        {"one kind set twice", {{3, true, "on"}, {3, true, nullptr}, {3, false, "off"}, {3, false, nullptr}}},
        {"unknown kinds change nothing", {{1, true, nullptr}, {5, true, nullptr}, {8, true, "on"}, {9, false, nullptr}}},
        {"clearing what was never set", {{2, false, nullptr}}},
    };
    for (const auto& sequence : sequences) {
        SCOPED_TRACE(sequence.name);
        std::vector<std::string> told;
        KeepAwake keep([&](EXECUTION_STATE state) {
            told.push_back(state == (ES_CONTINUOUS | ES_SYSTEM_REQUIRED | ES_DISPLAY_REQUIRED) ? "on"
                           : state == ES_CONTINUOUS                                              ? "off"
                                                                                                 : "other");
            return EXECUTION_STATE(ES_CONTINUOUS);
        });
        for (const Step& s : sequence.steps) {
            const std::size_t before = told.size();
            keep.Change(s.kind, s.on);
            if (s.told) {
                ASSERT_EQ(told.size(), before + 1) << "kind " << s.kind;
                EXPECT_EQ(told.back(), s.told);
            } else {
                EXPECT_EQ(told.size(), before) << "kind " << s.kind;
            }
        }
    }
}

TEST(KeepAwake, EachKindHasItsOwnBit)
{
    KeepAwake keep([](EXECUTION_STATE) { return EXECUTION_STATE(0); });
    for (auto [kind, bit] : {std::pair{2, 2u}, {3, 8u}, {7, 4u}, {8, 1u}}) {
        keep.Change(WPARAM(kind), true);
        EXPECT_EQ(keep.Flags() & bit, bit);
    }
    EXPECT_EQ(keep.Flags(), 15u);
    keep.Clear();
    EXPECT_EQ(keep.Flags(), 0u);
}

}
