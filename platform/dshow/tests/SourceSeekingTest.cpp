#include "platform/dshow/SourceSeeking.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

constexpr REFERENCE_TIME s = UNITS;

enum class Hook { None, Start, Stop, Rate };

// Starts at 2 s with a stop at 8 s in a 10 s stream; remembers the hook called.
class Seeker final : public CSourceSeeking {
public:
    Seeker() : CSourceSeeking(nullptr, &m_lock)
    {
        m_rtDuration = 10 * s;
        m_rtStart = 2 * s;
        m_rtStop = 8 * s;
    }
    ~Seeker() = default;
    Hook called{Hook::None};

protected:
    HRESULT ChangeStart() override { return record(Hook::Start); }
    HRESULT ChangeStop() override { return record(Hook::Stop); }
    HRESULT ChangeRate() override { return record(Hook::Rate); }

private:
    HRESULT record(Hook hook)
    {
        called = hook;
        return S_OK;
    }
    CCritSec m_lock;
};

constexpr DWORD none = AM_SEEKING_NoPositioning, absolute = AM_SEEKING_AbsolutePositioning,
                relative = AM_SEEKING_RelativePositioning, incremental = AM_SEEKING_IncrementalPositioning;

}

TEST(SourceSeeking, SetPositionsMovesStartAndStopAndCallsOneHook)
{
    const struct {
        std::string name;
        std::optional<REFERENCE_TIME> current;
        DWORD current_how;
        std::optional<REFERENCE_TIME> stop;
        DWORD stop_how;
        HRESULT result;
        REFERENCE_TIME start_after, stop_after;
        Hook hook;
    } cases[] = {
        {"absolute start", 5 * s, absolute, {}, none, S_OK, 5 * s, 8 * s, Hook::Start},
        {"relative start", 1 * s, relative, {}, none, S_OK, 3 * s, 8 * s, Hook::Start},
        {"start to where it stands", 2 * s, absolute, {}, none, S_OK, 2 * s, 8 * s, Hook::Start},
        {"absolute stop", {}, none, 9 * s, absolute, S_OK, 2 * s, 9 * s, Hook::Stop},
        {"relative stop", {}, none, -1 * s, relative, S_OK, 2 * s, 7 * s, Hook::Stop},
        {"incremental stop after the new start", 4 * s, absolute, 3 * s, incremental, S_OK, 4 * s, 7 * s, Hook::Start},
        {"the same stop", {}, none, 8 * s, absolute, S_OK, 2 * s, 8 * s, Hook::None},
        {"a start given without positioning", 6 * s, none, {}, none, S_OK, 2 * s, 8 * s, Hook::None},
        {"incremental start", 1 * s, incremental, {}, none, E_INVALIDARG, 2 * s, 8 * s, Hook::None},
        {"negative start", -1, absolute, {}, none, E_INVALIDARG, 2 * s, 8 * s, Hook::None},
        {"stop before the start", 6 * s, absolute, 5 * s, absolute, E_INVALIDARG, 2 * s, 8 * s, Hook::None},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Seeker seeker;
        LONGLONG current = c.current.value_or(0), stop = c.stop.value_or(0);
        EXPECT_EQ(seeker.SetPositions(c.current ? &current : nullptr, c.current_how, c.stop ? &stop : nullptr,
                                      c.stop_how),
                  c.result);
        LONGLONG start_after = -1, stop_after = -1;
        ASSERT_EQ(seeker.GetPositions(&start_after, &stop_after), S_OK);
        EXPECT_EQ(start_after, c.start_after);
        EXPECT_EQ(stop_after, c.stop_after);
        EXPECT_EQ(seeker.called, c.hook);
    }
}

TEST(SourceSeeking, RatesAndCapabilities)
{
    Seeker seeker;
    EXPECT_EQ(seeker.SetRate(0), E_INVALIDARG);
    EXPECT_EQ(seeker.SetRate(-1), E_INVALIDARG);
    EXPECT_EQ(seeker.called, Hook::None);
    ASSERT_EQ(seeker.SetRate(2.0), S_OK);
    EXPECT_EQ(seeker.called, Hook::Rate);
    double rate = 0;
    seeker.GetRate(&rate);
    EXPECT_EQ(rate, 2.0);

    const struct {
        DWORD asked;
        HRESULT result;
        DWORD kept;
    } checks[] = {
        {0, S_OK, 0},
        {AM_SEEKING_CanSeekAbsolute | AM_SEEKING_CanGetDuration, S_OK,
         AM_SEEKING_CanSeekAbsolute | AM_SEEKING_CanGetDuration},
        {AM_SEEKING_CanSeekAbsolute | AM_SEEKING_CanGetCurrentPos, S_FALSE, AM_SEEKING_CanSeekAbsolute},
        {AM_SEEKING_CanGetCurrentPos, E_FAIL, 0},
    };
    for (const auto& c : checks) {
        SCOPED_TRACE(c.asked);
        DWORD caps = c.asked;
        EXPECT_EQ(seeker.CheckCapabilities(&caps), c.result);
        EXPECT_EQ(caps, c.kept);
    }

    GUID format = GUID_NULL;
    EXPECT_EQ(seeker.IsFormatSupported(&TIME_FORMAT_MEDIA_TIME), S_OK);
    EXPECT_EQ(seeker.IsFormatSupported(&format), S_FALSE);
    EXPECT_EQ(seeker.SetTimeFormat(&format), E_INVALIDARG);
    ASSERT_EQ(seeker.GetTimeFormat(&format), S_OK);
    EXPECT_EQ(format, TIME_FORMAT_MEDIA_TIME);
    LONGLONG duration = 0, current = 0;
    ASSERT_EQ(seeker.GetDuration(&duration), S_OK);
    EXPECT_EQ(duration, 10 * s);
    EXPECT_EQ(seeker.GetCurrentPosition(&current), E_NOTIMPL);
}
