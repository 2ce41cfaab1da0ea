#include "splitter/base/testing/ParserFilter.h"
#include "splitter/base/testing/SplitterGraph.h"

#include "platform/dshow/MediaFormats.h"
#include "platform/fs/testing/TempFolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <stdexcept>

namespace {

constexpr REFERENCE_TIME frame = 400000;   // 40 ms
constexpr int frames = 100;
constexpr int key_every = 25;

struct Script {
    int throw_at{-1};                 // the packet index at which DemuxLoop throws
    int empty_at{-1};                 // the video packet with no payload
    int new_type_at{-1};              // the video packet that switches the type
    std::atomic<int> runs{0};
};

// Two tracks of synthetic packets: video (track 1) with a key frame every 25,
// audio (track 2) all sync points; 40 ms apart.
class ScriptedParser final : public CBaseParser {
public:
    ScriptedParser(CBaseSplitterFilter* filter, Script& script) : CBaseParser(filter), m_script(script) {}

    HRESULT Open(IAsyncReader* reader) override
    {
        if (!reader) return E_POINTER;
        add_pin(1, MEDIATYPE_Video, u"Video");
        add_pin(2, MEDIATYPE_Audio, u"Audio");
        m_rtDuration = frames * frame;
        return S_OK;
    }
    bool DemuxInit() override { return true; }
    bool DemuxSeek(REFERENCE_TIME t) override
    {
        m_next = std::clamp<int>(static_cast<int>(t / frame) / key_every * key_every, 0, frames);
        return true;
    }
    int DemuxLoop() override
    {
        ++m_script.runs;
        for (; m_next < frames; ++m_next) {
            for (DWORD track : {1u, 2u}) {
                if (m_pFilter->CheckRequest()) return 0;
                if (m_next == m_script.throw_at) throw std::bad_alloc();
                if (track == 1 && m_next == m_script.new_type_at) {
                    CMediaType t(MEDIATYPE_Video);
                    t.SetSubtype(&MEDIASUBTYPE_MPEG2_VIDEO);
                    m_pFilter->SetNewMediaType(1, t);
                }
                auto p = std::make_unique<Packet>();
                p->TrackNumber = track;
                p->rtStart = m_next * frame;
                p->rtStop = p->rtStart + frame;
                p->bSyncPoint = track == 2 || m_next % key_every == 0;
                if (!(track == 1 && m_next == m_script.empty_at))
                    p->data.assign(static_cast<std::size_t>(100 + m_next * 37 % 3000), static_cast<BYTE>(m_next));
                HRESULT hr = m_pFilter->DeliverPacket(std::move(p));
                if (hr != S_OK && hr != S_FALSE) return 0;
            }
        }
        return 1;
    }

private:
    void add_pin(DWORD track, const GUID& major, const WCHAR* name)
    {
        std::vector<CMediaType> types{CMediaType(major)};
        m_pFilter->AddOutputPin(track, std::make_unique<CBaseSplitterOutputPin>(std::move(types), name, m_pFilter,
                                                                                m_pFilter->FilterLock(), nullptr));
    }

    Script& m_script;
    int m_next{0};
};

class SplitterFilter : public ::testing::Test {
protected:
    void SetUp() override { std::ofstream(path) << "x"; }

    HRESULT open()
    {
        auto* filter = new ParserFilter([this](CBaseSplitterFilter* f) { return std::make_unique<ScriptedParser>(f, script); });
        return g.open(path, filter);
    }
    plat::RecordingSink& video() { return *g.sink_named(u"Video"); }
    plat::RecordingSink& audio() { return *g.sink_named(u"Audio"); }

    plat::TempFolder folder;
    const std::string path = folder / "script";
    Script script;
    SplitterGraph g;
};

}

TEST_F(SplitterFilter, DeliversEveryPacketInOrderAndCompletesOnce)
{
    ASSERT_EQ(open(), S_OK);
    ASSERT_EQ(g.splitter->GetPinCount(), 3);
    LONGLONG duration = 0;
    g.graph->GetDuration(&duration);
    EXPECT_EQ(duration, frames * frame);
    ASSERT_TRUE(g.run_to_end());
    for (plat::RecordingSink* sink : {&video(), &audio()}) {
        auto samples = sink->samples();
        ASSERT_EQ(samples.size(), static_cast<std::size_t>(frames));
        for (int i = 0; i < frames; ++i) {
            const auto& s = samples[static_cast<std::size_t>(i)];
            EXPECT_EQ(s.start, i * frame);
            EXPECT_EQ(s.stop, (i + 1) * frame);
            EXPECT_EQ(s.length, 100 + i * 37 % 3000);
            EXPECT_EQ(s.discontinuity, i == 0);
            EXPECT_FALSE(s.preroll);
        }
        EXPECT_TRUE(sink->ended());
    }
    LONG code;
    LONG_PTR p1, p2;
    ASSERT_EQ(g.graph->GetEvent(&code, &p1, &p2, 0), S_OK);
    EXPECT_EQ(code, EC_COMPLETE);
    EXPECT_EQ(g.graph->GetEvent(&code, &p1, &p2, 0), E_ABORT);   // one completion for the graph
}

TEST_F(SplitterFilter, SeekLandsOnTheKeyFrameBeforeTheTargetAsPreroll)
{
    ASSERT_EQ(open(), S_OK);
    LONGLONG target = 60 * frame + 1000;
    ASSERT_EQ(g.graph->SetPositions(&target, AM_SEEKING_AbsolutePositioning, nullptr, 0), S_OK);
    ASSERT_TRUE(g.run_to_end());
    auto samples = video().samples();
    ASSERT_FALSE(samples.empty());
    EXPECT_TRUE(samples.front().sync);
    EXPECT_EQ(samples.front().start, 50 * frame - target);
    EXPECT_TRUE(samples.front().preroll);
    EXPECT_TRUE(samples.front().discontinuity);
    EXPECT_EQ(samples.size(), static_cast<std::size_t>(frames - 50));
    auto segments = video().segments();
    ASSERT_EQ(segments.size(), 1u);
    EXPECT_EQ(segments[0].start, target);
}

TEST_F(SplitterFilter, SeekWhileRunningFlushesAndStartsANewSegment)
{
    ASSERT_EQ(open(), S_OK);
    ASSERT_EQ(g.graph->Run(), S_OK);
    for (int round = 0; round < 5; ++round) {
        // Off the packet times, so that no seek meets the present position.
        LONGLONG target = round % 2 ? 10 * frame + 7 : 75 * frame + 123;
        ASSERT_EQ(g.graph->SetPositions(&target, AM_SEEKING_AbsolutePositioning, nullptr, 0), S_OK);
    }
    LONG code = 0;
    ASSERT_EQ(g.graph->WaitForCompletion(60000, &code), S_OK);
    // A stream that ended just before a seek's flush may have reported early; its new end follows.
    ASSERT_TRUE(video().wait_for_end(60000));
    ASSERT_TRUE(audio().wait_for_end(60000));
    EXPECT_GE(video().flush_count(), 5);
    auto samples = video().samples();
    auto segments = video().segments();
    // A seek that follows another closely may start its run before the earlier one sent its segment.
    ASSERT_FALSE(segments.empty());
    EXPECT_EQ(segments.back().start, 75 * frame + 123);
    // The last segment holds the key frame at 75 and everything after it, starting with a discontinuity.
    std::vector<plat::RecordedSample> last;
    for (const auto& s : samples)
        if (s.segment == static_cast<int>(segments.size())) last.push_back(s);
    ASSERT_EQ(last.size(), static_cast<std::size_t>(frames - 75));
    EXPECT_TRUE(last.front().discontinuity);
    EXPECT_EQ(last.front().start, -123);
}

TEST_F(SplitterFilter, SeeksThatMeetADeliveryNeverLeaveAPinFailed)
{
    // Each round's second seek lands while the first one's run is delivering; a
    // delivery refused by that flush must not fail the pin for the run after it.
    ASSERT_EQ(open(), S_OK);
    ASSERT_EQ(g.graph->Run(), S_OK);
    for (int round = 0; round < 60; ++round) {
        SCOPED_TRACE(round);
        LONGLONG first = (round % 7) * frame + 11, second = 50 * frame + round + 1;
        ASSERT_EQ(g.graph->SetPositions(&first, AM_SEEKING_AbsolutePositioning, nullptr, 0), S_OK);
        ASSERT_EQ(g.graph->SetPositions(&second, AM_SEEKING_AbsolutePositioning, nullptr, 0), S_OK);
        ASSERT_TRUE(video().wait_for_end(60000));
        ASSERT_TRUE(audio().wait_for_end(60000));
    }
    EXPECT_EQ(g.graph->Stop(), S_OK);
}

TEST_F(SplitterFilter, RepeatedAndRelativeSeeks)
{
    ASSERT_EQ(open(), S_OK);
    auto* filter = g.splitter.get();
    LONGLONG current = 0, stop = 0;
    filter->GetPositions(&current, &stop);
    EXPECT_EQ(stop, frames * frame);

    LONGLONG ten = 10 * UNITS;
    filter->SetPositions(nullptr, 0, &ten, AM_SEEKING_RelativePositioning);
    filter->GetPositions(&current, &stop);
    EXPECT_EQ(stop, frames * frame + ten);

    LONGLONG start = 2 * UNITS;
    filter->SetPositions(&start, AM_SEEKING_AbsolutePositioning, &ten, AM_SEEKING_IncrementalPositioning);
    filter->GetPositions(&current, &stop);
    EXPECT_EQ(current, start);
    EXPECT_EQ(stop, start + ten);

    // The same seek asked through a second path is carried out once; the first path asking again seeks again.
    int a = 0, b = 0;
    LONGLONG s1 = 3 * UNITS, t1 = 5 * UNITS;
    filter->SetPositionsInternal(&a, &s1, AM_SEEKING_AbsolutePositioning, &t1, AM_SEEKING_AbsolutePositioning);
    filter->GetPositions(&current, &stop);
    EXPECT_EQ(current, s1);
    LONGLONG elsewhere = 0;
    filter->SetPositionsInternal(&b, &elsewhere, AM_SEEKING_AbsolutePositioning, nullptr, 0);
    filter->GetPositions(&current, &stop);
    EXPECT_EQ(current, 0);
    filter->SetPositionsInternal(&b, &s1, AM_SEEKING_AbsolutePositioning, &t1, AM_SEEKING_AbsolutePositioning);
    filter->GetPositions(&current, &stop);
    EXPECT_EQ(current, s1);
}

TEST_F(SplitterFilter, FailedSinkLeavesTheOtherStreamRunning)
{
    ASSERT_EQ(open(), S_OK);
    video().fail_from(5, E_FAIL);
    ASSERT_EQ(g.graph->Run(), S_OK);
    ASSERT_TRUE(audio().wait_for_end(60000));
    EXPECT_EQ(audio().samples().size(), static_cast<std::size_t>(frames));
    // The video stream runs on its own thread: wait for the sample that fails it.
    ASSERT_TRUE(video().wait_for_samples(6, 60000));
    EXPECT_EQ(video().sample_count(), 6u);
    EXPECT_EQ(video().samples().size(), 5u);
    EXPECT_FALSE(video().ended());
    EXPECT_EQ(g.graph->Stop(), S_OK);
}

TEST_F(SplitterFilter, RateScalesTimeStamps)
{
    ASSERT_EQ(open(), S_OK);
    ASSERT_EQ(g.splitter->SetRate(2.0), S_OK);
    EXPECT_EQ(g.splitter->SetRate(0), E_INVALIDARG);
    ASSERT_TRUE(g.run_to_end());
    auto samples = audio().samples();
    ASSERT_EQ(samples.size(), static_cast<std::size_t>(frames));
    EXPECT_EQ(samples[10].start, 10 * frame / 2);
}

TEST_F(SplitterFilter, EmptyPacketsAreSkippedAndTypeChangesTravelWithTheNextPacket)
{
    script.empty_at = 3;
    script.new_type_at = 7;
    ASSERT_EQ(open(), S_OK);
    ASSERT_TRUE(g.run_to_end());
    auto samples = video().samples();
    ASSERT_EQ(samples.size(), static_cast<std::size_t>(frames - 1));
    EXPECT_EQ(samples[3].start, 4 * frame);
    const auto& changed = samples[6];
    EXPECT_EQ(changed.start, 7 * frame);
    ASSERT_TRUE(changed.type.has_value());
    EXPECT_EQ(changed.type->subtype, MEDIASUBTYPE_MPEG2_VIDEO);
    EXPECT_TRUE(changed.discontinuity);
    CMediaType offered;
    ASSERT_EQ(static_cast<CBasePin*>(g.splitter->GetPin(0))->GetMediaType(0, &offered), S_OK);
    EXPECT_EQ(offered.subtype, MEDIASUBTYPE_MPEG2_VIDEO);
    EXPECT_EQ(static_cast<CBasePin*>(g.splitter->GetPin(0))->GetMediaType(1, &offered), VFW_S_NO_MORE_ITEMS);
}

TEST_F(SplitterFilter, ParserExceptionEndsWithAnErrorEvent)
{
    script.throw_at = 20;
    ASSERT_EQ(open(), S_OK);
    ASSERT_EQ(g.graph->Run(), S_OK);
    LONG code = 0;
    ASSERT_EQ(g.graph->WaitForCompletion(60000, &code), S_OK);
    EXPECT_EQ(code, EC_ERRORABORT);
    EXPECT_EQ(g.graph->Stop(), S_OK);
}

TEST_F(SplitterFilter, UnknownTrackIsDroppedAndOutputsStayWhileRunning)
{
    ASSERT_EQ(open(), S_OK);
    auto p = std::make_unique<Packet>();
    p->TrackNumber = 77;
    EXPECT_EQ(g.splitter->DeliverPacket(std::move(p)), S_FALSE);
    ASSERT_EQ(g.graph->Pause(), S_OK);
    EXPECT_EQ(g.splitter->DeleteOutputs(), VFW_E_NOT_STOPPED);
    EXPECT_EQ(g.graph->Stop(), S_OK);
}

TEST_F(SplitterFilter, PrivatePropertiesAlwaysAnswerNotFound)
{
    ASSERT_EQ(open(), S_OK);
    constexpr HRESULT not_found = hresult(0x80070492);
    DWORD value = 1;
    EXPECT_EQ(g.splitter->Set(GUID_NULL, 0, &value, sizeof value, nullptr, 0), not_found);
    DWORD buffer = 0xCDCDCDCD, returned = 7;
    EXPECT_EQ(g.splitter->Get(GUID_NULL, 0, &value, sizeof value, &buffer, sizeof buffer, &returned), not_found);
    EXPECT_EQ(buffer, 0xCDCDCDCDu);
    EXPECT_EQ(g.splitter->QuerySupported(GUID_NULL, 0, &buffer), not_found);
    EXPECT_EQ(g.splitter->Set(GUID_NULL, 0, nullptr, 0, nullptr, 0), not_found);   // no value: ignored
}

TEST_F(SplitterFilter, SeekingAnswersAsTheFormatRulesSay)
{
    ASSERT_EQ(open(), S_OK);
    IMediaSeeking* s = g.splitter.get();
    DWORD caps = 0;
    s->GetCapabilities(&caps);
    EXPECT_EQ(caps, 0x37u);
    // A subset of what is offered is answered S_OK; asked bits not offered are dropped from the answer.
    const struct { DWORD asked; HRESULT result; DWORD answer; } cases[] = {
        {0, S_OK, 0}, {0x37, S_OK, 0x37}, {0x1, S_OK, 0x1}, {0x9, S_FALSE, 0x1}, {0x8, E_FAIL, 0}};
    for (const auto& c : cases) {
        DWORD asked = c.asked;
        EXPECT_EQ(s->CheckCapabilities(&asked), c.result) << c.asked;
        EXPECT_EQ(asked, c.answer) << c.asked;
    }
    EXPECT_EQ(s->IsFormatSupported(&TIME_FORMAT_MEDIA_TIME), S_OK);
    EXPECT_EQ(s->IsFormatSupported(&GUID_NULL), S_FALSE);
    EXPECT_EQ(s->SetTimeFormat(&GUID_NULL), E_INVALIDARG);
    EXPECT_EQ(s->GetCurrentPosition(nullptr), S_OK);
    EXPECT_EQ(s->ConvertTimeFormat(nullptr, nullptr, 0, nullptr), E_NOTIMPL);
}
