#include "ComposeFakes.h"

#include "playback/compose/FrameStopwatch.h"

#include <gtest/gtest.h>

TEST(FrameStopwatch, TheFirstLapBeforeAStartIsAFrame)
{
    SteppedClock clock;
    FrameStopwatch watch(clock);
    EXPECT_EQ(watch.lap(), 30u);
    clock.advance_ms(12);
    EXPECT_EQ(watch.lap(), 12u);
}

TEST(FrameStopwatch, LapsAreWholeMillisecondsSinceThePreviousLap)
{
    SteppedClock clock;
    FrameStopwatch watch(clock);
    watch.start();
    clock.advance_ms(0);
    EXPECT_EQ(watch.lap(), 0u);
    clock.advance_ms(41);
    EXPECT_EQ(watch.lap(), 41u);
    EXPECT_EQ(watch.lap(), 0u);
}
