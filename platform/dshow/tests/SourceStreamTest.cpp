#include "platform/dshow/Source.h"
#include "platform/dshow/SourceSeeking.h"
#include "platform/dshow/SourceStream.h"

#include "platform/dshow/FilterGraph.h"
#include "platform/dshow/MediaFormats.h"
#include "platform/dshow/RecordingSink.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

namespace {

constexpr REFERENCE_TIME period = UNITS / 10;
constexpr LONG endless = 1000000;

// A pin of numbered samples: each holds its 32-bit index and lasts one period.
class CountingPin final : public CSourceStream, public CSourceSeeking {
public:
    CountingPin(HRESULT* result, CSource* filter, LONG count)
        : CSourceStream(result, filter, u"Output"), CSourceSeeking(static_cast<IPin*>(this), &m_lock)
    {
        m_rtDuration = m_rtStop = count * period;
    }

    HRESULT QueryInterface(REFIID riid, void** object) override { return CBasePin::QueryInterface(riid, object); }
    ULONG AddRef() override { return CBasePin::AddRef(); }
    ULONG Release() override { return CBasePin::Release(); }
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** object) override
    {
        if (riid != IID_IMediaSeeking) return CSourceStream::NonDelegatingQueryInterface(riid, object);
        *object = static_cast<IMediaSeeking*>(this);
        AddRef();
        return S_OK;
    }

    HRESULT CheckMediaType(const CMediaType* type) override
    {
        return *type->Type() == MEDIATYPE_Video ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
    }
    HRESULT GetMediaType(int position, CMediaType* type) override
    {
        if (position != 0) return VFW_S_NO_MORE_ITEMS;
        *type = CMediaType(MEDIATYPE_Video);
        return S_OK;
    }
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override
    {
        request->cBuffers = 2;
        request->cbBuffer = sizeof(std::int32_t);
        ALLOCATOR_PROPERTIES actual{};
        return allocator->SetProperties(request, &actual);
    }

    // From the sample with this index on, FillBuffer fails with the result.
    void fail_at(LONG index, HRESULT failure)
    {
        CAutoLock hold(&m_lock);
        m_fail_at = index;
        m_failure = failure;
    }

    HRESULT FillBuffer(IMediaSample* sample) override
    {
        CAutoLock hold(&m_lock);
        if (m_next * period >= m_rtStop) return S_FALSE;
        if (m_fail_at && m_next >= *m_fail_at) return m_failure;
        BYTE* data = nullptr;
        sample->GetPointer(&data);
        const std::int32_t index = m_next;
        std::memcpy(data, &index, sizeof index);
        sample->SetActualDataLength(sizeof index);
        REFERENCE_TIME start = m_next * period - m_rtStart, stop = start + period;
        sample->SetTime(&start, &stop);
        sample->SetDiscontinuity(m_discontinuity);
        m_discontinuity = false;
        ++m_next;
        return S_OK;
    }

protected:
    HRESULT OnThreadStartPlay() override
    {
        REFERENCE_TIME start, stop;
        double rate;
        {
            CAutoLock hold(&m_lock);
            m_discontinuity = true;
            start = m_rtStart;
            stop = m_rtStop;
            rate = m_dRateSeeking;
        }
        return DeliverNewSegment(start, stop, rate);
    }
    HRESULT ChangeStart() override { return reposition(); }
    HRESULT ChangeStop() override { return reposition(); }
    HRESULT ChangeRate() override { return reposition(); }

private:
    HRESULT reposition()
    {
        return restart_from_seek([this] {
            CAutoLock hold(&m_lock);
            m_next = static_cast<LONG>(m_rtStart / period);
        });
    }

    CCritSec m_lock;
    LONG m_next{0};                       // guarded by m_lock
    bool m_discontinuity{true};           // guarded by m_lock
    std::optional<LONG> m_fail_at;        // guarded by m_lock
    HRESULT m_failure{S_OK};              // guarded by m_lock
};

class CountingSource final : public CSource {
public:
    explicit CountingSource(LONG count)
        : CSource(u"Counting Source", plat::make_guid("{6A1C0D52-2F4B-4E61-9A0B-3C5D7E8F9012}"))
    {
        HRESULT hr = S_OK;
        m_pin = std::make_unique<CountingPin>(&hr, this, count);
        EXPECT_EQ(hr, S_OK);
    }
    CountingPin* pin() { return m_pin.get(); }

private:
    ~CountingSource() override = default;
    std::unique_ptr<CountingPin> m_pin;
};

std::int32_t index_of(const plat::RecordedSample& sample)
{
    std::int32_t index = -1;
    if (sample.data.size() == sizeof index) std::memcpy(&index, sample.data.data(), sizeof index);
    return index;
}

bool wait_until(const std::function<bool()>& ready)
{
    for (int i = 0; i < 6000; ++i) {   // a minute, in 10 ms steps
        if (ready()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

class SourceStreamTest : public ::testing::Test {
protected:
    void build(LONG count)
    {
        source = plat::ComPtr<CountingSource>(new CountingSource(count));
        ASSERT_EQ(graph->AddFilter(source.get(), u"Source"), S_OK);
        ASSERT_EQ(graph->AddFilter(sink.get(), u"Sink"), S_OK);
        ASSERT_EQ(graph->Connect(source->pin(), sink->input()), S_OK);
    }
    std::size_t samples_in_segment(int segment) const
    {
        std::size_t n = 0;
        for (const auto& s : sink->samples()) n += s.segment == segment;
        return n;
    }

    plat::ComPtr<plat::FilterGraph> graph{new plat::FilterGraph()};
    plat::ComPtr<plat::RecordingSink> sink{new plat::RecordingSink()};
    plat::ComPtr<CountingSource> source;
};

}

TEST_F(SourceStreamTest, StreamEndsAtItsStopOrWithItsFailure)
{
    const struct {
        const char* name;
        std::optional<LONG> fail_at;
        LONG completion;
        std::size_t delivered;
    } cases[] = {
        {"to the end", {}, EC_COMPLETE, 5},
        {"failing", 2, EC_ERRORABORT, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        graph = plat::ComPtr<plat::FilterGraph>(new plat::FilterGraph());
        sink = plat::ComPtr<plat::RecordingSink>(new plat::RecordingSink());
        build(5);
        if (c.fail_at) source->pin()->fail_at(*c.fail_at, E_UNEXPECTED);
        ASSERT_EQ(graph->Run(), S_OK);
        LONG code = 0;
        ASSERT_EQ(graph->WaitForCompletion(60000, &code), S_OK);
        EXPECT_EQ(code, c.completion);
        ASSERT_TRUE(sink->wait_for_end(60000));   // the end of the stream reaches the sink either way

        const auto samples = sink->samples();
        ASSERT_EQ(samples.size(), c.delivered);
        for (std::size_t i = 0; i < samples.size(); ++i) {
            EXPECT_EQ(index_of(samples[i]), static_cast<std::int32_t>(i));
            EXPECT_EQ(samples[i].start, static_cast<REFERENCE_TIME>(i) * period);
            EXPECT_EQ(samples[i].discontinuity, i == 0);
        }
        LONG_PTR p1 = 0, p2 = 0;
        ASSERT_EQ(graph->GetEvent(&code, &p1, &p2, 0), S_OK);
        if (c.fail_at) {
            EXPECT_EQ(p1, E_UNEXPECTED);
        }

        ASSERT_EQ(graph->Stop(), S_OK);
        EXPECT_FALSE(source->pin()->ThreadExists());
    }
}

TEST_F(SourceStreamTest, StopJoinsAWorkerInFullFlowAndPauseStartsItAgain)
{
    build(endless);
    ASSERT_EQ(graph->Pause(), S_OK);   // a source pushes while paused too
    ASSERT_TRUE(wait_until([&] { return sink->sample_count() >= 3; }));
    ASSERT_EQ(graph->Stop(), S_OK);
    EXPECT_FALSE(source->pin()->ThreadExists());
    const std::size_t stopped_at = sink->sample_count();

    ASSERT_EQ(graph->Run(), S_OK);
    ASSERT_TRUE(wait_until([&] { return sink->sample_count() >= stopped_at + 3; }));
    EXPECT_EQ(sink->segments().size(), 2u);
}

TEST_F(SourceStreamTest, SeekWhileStreamingFlushesAndRestartsAtTheNewStart)
{
    build(endless);
    LONGLONG duration = 0, position = 0;
    ASSERT_EQ(graph->GetDuration(&duration), S_OK);   // the graph finds the seeking pin
    EXPECT_EQ(duration, endless * period);
    EXPECT_EQ(graph->GetCurrentPosition(&position), E_NOTIMPL);

    ASSERT_EQ(graph->Run(), S_OK);
    ASSERT_TRUE(wait_until([&] { return sink->sample_count() >= 3; }));
    LONGLONG target = 50 * period;
    ASSERT_EQ(graph->SetPositions(&target, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning), S_OK);
    ASSERT_TRUE(wait_until([&] { return samples_in_segment(2) >= 3; }));
    ASSERT_EQ(graph->Stop(), S_OK);

    EXPECT_EQ(sink->flush_count(), 1);
    const auto segments = sink->segments();
    ASSERT_EQ(segments.size(), 2u);
    EXPECT_EQ(segments[1].start, target);
    // Nothing filled before the seek follows the samples of the new segment.
    const auto samples = sink->samples();
    auto first = std::find_if(samples.begin(), samples.end(), [](const auto& s) { return s.segment == 2; });
    ASSERT_NE(first, samples.end());
    EXPECT_EQ(first->start, 0);
    EXPECT_TRUE(first->discontinuity);
    std::int32_t expected = 50;
    for (auto it = first; it != samples.end(); ++it) {
        EXPECT_EQ(it->segment, 2);
        EXPECT_EQ(index_of(*it), expected++);
    }
}

TEST_F(SourceStreamTest, SeekWhileStoppedMovesTheNextStart)
{
    build(10);
    LONGLONG target = 7 * period;
    ASSERT_EQ(graph->SetPositions(&target, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning), S_OK);
    ASSERT_EQ(graph->Run(), S_OK);
    ASSERT_TRUE(sink->wait_for_end(60000));
    EXPECT_EQ(sink->flush_count(), 0);
    const auto samples = sink->samples();
    ASSERT_EQ(samples.size(), 3u);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        EXPECT_EQ(index_of(samples[i]), static_cast<std::int32_t>(7 + i));
        EXPECT_EQ(samples[i].start, static_cast<REFERENCE_TIME>(i) * period);
    }
}
