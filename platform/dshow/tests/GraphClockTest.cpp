#include "platform/dshow/FilterGraph.h"

#include "platform/com/ComObject.h"
#include "platform/dshow/BaseFilter.h"
#include "platform/dshow/RecordingSink.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

class ManualClock final : public plat::ComObject<IReferenceClock> {
public:
    HRESULT GetTime(REFERENCE_TIME* time) override
    {
        *time = now;
        return S_OK;
    }
    std::atomic<REFERENCE_TIME> now{0};
};

// Stands for an audio renderer: a filter without pins that offers its clock and a volume.
class AudioDevice final : public CBaseFilter {
public:
    AudioDevice() : CBaseFilter(u"Audio Device", &m_lock, GUID_NULL) {}
    int GetPinCount() override { return 0; }
    CBasePin* GetPin(int) override { return nullptr; }
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** object) override
    {
        if (riid == IID_IReferenceClock) return clock->QueryInterface(riid, object);
        if (riid == IID_IBasicAudio) {
            *object = &m_volume;
            AddRef();
            return S_OK;
        }
        return CBaseFilter::NonDelegatingQueryInterface(riid, object);
    }
    LONG volume() const { return m_volume.volume; }

    plat::ComPtr<ManualClock> clock = plat::ComPtr<ManualClock>::adopt(new ManualClock());

private:
    struct Volume final : IBasicAudio {
        explicit Volume(AudioDevice& owner) : owner(owner) {}
        HRESULT QueryInterface(REFIID riid, void** object) override { return owner.QueryInterface(riid, object); }
        ULONG AddRef() override { return owner.AddRef(); }
        ULONG Release() override { return owner.Release(); }
        HRESULT put_Volume(LONG v) override
        {
            volume = v;
            return S_OK;
        }
        HRESULT get_Volume(LONG* v) override
        {
            *v = volume;
            return S_OK;
        }
        HRESULT put_Balance(LONG) override { return S_OK; }
        HRESULT get_Balance(LONG* b) override
        {
            *b = 0;
            return S_OK;
        }
        AudioDevice& owner;
        LONG volume{0};
    };
    CCritSec m_lock;
    Volume m_volume{*this};
};

plat::ComPtr<IReferenceClock> clock_of(IMediaFilter* filter)
{
    plat::ComPtr<IReferenceClock> clock;
    EXPECT_EQ(filter->GetSyncSource(clock.put()), S_OK);
    return clock;
}

class GraphClockTest : public ::testing::Test {
protected:
    plat::ComPtr<plat::FilterGraph> graph{new plat::FilterGraph()};
    plat::ComPtr<plat::RecordingSink> sink{new plat::RecordingSink()};
    void SetUp() override { ASSERT_EQ(graph->AddFilter(sink.get(), u"Sink"), S_OK); }
};

}

TEST_F(GraphClockTest, WithoutAClockOfferedTheGraphRunsOnTheSystemClock)
{
    ASSERT_EQ(graph->Pause(), S_OK);
    plat::ComPtr<IReferenceClock> clock = clock_of(graph.get());
    ASSERT_TRUE(clock);
    EXPECT_EQ(clock_of(sink.get()), clock);
    REFERENCE_TIME first = 0, second = 0;
    ASSERT_EQ(clock->GetTime(&first), S_OK);
    ASSERT_EQ(clock->GetTime(&second), S_OK);
    EXPECT_GE(second, first);
    EXPECT_EQ(graph->SetSyncSource(nullptr), VFW_E_NOT_STOPPED);
    EXPECT_EQ(graph->Stop(), S_OK);
}

TEST_F(GraphClockTest, AFilterOfferingAClockGivesItToEveryFilterAddedBeforeOrAfter)
{
    plat::ComPtr<AudioDevice> device(new AudioDevice());
    ASSERT_EQ(graph->AddFilter(device.get(), u"Audio"), S_OK);
    ASSERT_EQ(graph->Run(), S_OK);
    const plat::ComPtr<IReferenceClock> expected(device->clock.get());
    EXPECT_EQ(clock_of(graph.get()), expected);
    EXPECT_EQ(clock_of(sink.get()), expected);

    plat::ComPtr<plat::RecordingSink> late(new plat::RecordingSink());
    ASSERT_EQ(graph->AddFilter(late.get(), u"Late"), S_OK);
    EXPECT_EQ(clock_of(late.get()), expected);
    EXPECT_EQ(graph->Stop(), S_OK);
}

TEST_F(GraphClockTest, ANullClockRunsUnpaced)
{
    plat::ComPtr<AudioDevice> device(new AudioDevice());
    ASSERT_EQ(graph->AddFilter(device.get(), u"Audio"), S_OK);
    ASSERT_EQ(graph->SetSyncSource(nullptr), S_OK);
    ASSERT_EQ(graph->Run(), S_OK);
    EXPECT_FALSE(clock_of(sink.get()));
    REFERENCE_TIME t = 0;
    EXPECT_EQ(sink->StreamTime(t), VFW_E_NO_CLOCK);
    EXPECT_EQ(graph->Stop(), S_OK);
}

TEST_F(GraphClockTest, StreamTimeHoldsWhilePausedAndRestartsAfterStop)
{
    auto clock = plat::ComPtr<ManualClock>::adopt(new ManualClock());
    ASSERT_EQ(graph->SetSyncSource(clock.get()), S_OK);
    auto stream_time = [&] {
        REFERENCE_TIME t = -1;
        EXPECT_EQ(sink->StreamTime(t), S_OK);
        return t;
    };
    clock->now = 1000;
    ASSERT_EQ(graph->Run(), S_OK);
    EXPECT_EQ(stream_time(), 0);
    clock->now = 1500;
    EXPECT_EQ(stream_time(), 500);

    ASSERT_EQ(graph->Pause(), S_OK);
    clock->now = 5000;
    ASSERT_EQ(graph->Run(), S_OK);
    EXPECT_EQ(stream_time(), 500);
    clock->now = 5100;
    EXPECT_EQ(stream_time(), 600);

    ASSERT_EQ(graph->Stop(), S_OK);
    clock->now = 9000;
    ASSERT_EQ(graph->Pause(), S_OK);
    clock->now = 9400;
    ASSERT_EQ(graph->Run(), S_OK);
    EXPECT_EQ(stream_time(), 0);
    EXPECT_EQ(graph->Stop(), S_OK);
}

TEST_F(GraphClockTest, VolumeReachesEveryAudioFilterAndIsReadFromTheFirst)
{
    LONG volume = 1;
    EXPECT_EQ(graph->get_Volume(&volume), E_NOTIMPL);
    EXPECT_EQ(graph->put_Volume(-500), E_NOTIMPL);

    plat::ComPtr<AudioDevice> first(new AudioDevice()), second(new AudioDevice());
    ASSERT_EQ(graph->AddFilter(first.get(), u"First"), S_OK);
    ASSERT_EQ(graph->AddFilter(second.get(), u"Second"), S_OK);
    plat::ComPtr<IBasicAudio> audio = graph.as<IBasicAudio>();
    ASSERT_TRUE(audio);
    ASSERT_EQ(audio->put_Volume(-2500), S_OK);
    EXPECT_EQ(first->volume(), -2500);
    EXPECT_EQ(second->volume(), -2500);
    ASSERT_EQ(audio->get_Volume(&volume), S_OK);
    EXPECT_EQ(volume, -2500);
}

TEST_F(GraphClockTest, EnumFiltersListsTheMembersInTheOrderAdded)
{
    plat::ComPtr<AudioDevice> device(new AudioDevice());
    ASSERT_EQ(graph->AddFilter(device.get(), u"Audio"), S_OK);
    plat::ComPtr<IEnumFilters> filters;
    ASSERT_EQ(graph->EnumFilters(filters.put()), S_OK);
    IBaseFilter* got[3] = {};
    ULONG fetched = 0;
    EXPECT_EQ(filters->Next(3, got, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 2u);
    EXPECT_EQ(got[0], static_cast<IBaseFilter*>(sink.get()));
    EXPECT_EQ(got[1], static_cast<IBaseFilter*>(device.get()));
    for (ULONG i = 0; i < fetched; ++i) got[i]->Release();
}
