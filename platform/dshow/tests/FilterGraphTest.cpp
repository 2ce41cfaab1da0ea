#include "platform/dshow/FilterGraph.h"

#include "platform/base/Utf.h"
#include "platform/dshow/AsyncFileSource.h"
#include "platform/dshow/BaseInputPin.h"
#include "platform/dshow/BasePin.h"
#include "platform/dshow/MediaFormats.h"
#include "platform/dshow/RecordingSink.h"
#include "platform/fs/testing/TempFolder.h"
#include "platform/sync/Event.h"

#include <gtest/gtest.h>

#include <fstream>
#include <thread>
#include <vector>

namespace {

// A sink that tells the graph where it stands (S_FALSE: not started).
class TellingSink final : public CBaseFilter, public ISinkPosition {
public:
    TellingSink(HRESULT answer, REFERENCE_TIME at)
        : CBaseFilter(u"Telling Sink", &m_lock, GUID_NULL), m_answer(answer), m_at(at)
    {
    }
    HRESULT QueryInterface(REFIID riid, void** object) override { return CBaseFilter::QueryInterface(riid, object); }
    ULONG AddRef() override { return CBaseFilter::AddRef(); }
    ULONG Release() override { return CBaseFilter::Release(); }
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** object) override
    {
        if (riid == IID_ISinkPosition) {
            *object = static_cast<ISinkPosition*>(this);
            AddRef();
            return S_OK;
        }
        return CBaseFilter::NonDelegatingQueryInterface(riid, object);
    }
    HRESULT GetSinkPosition(REFERENCE_TIME* at) override
    {
        *at = m_answer == S_OK ? m_at : 0;
        return m_answer;
    }
    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int n) override { return n == 0 ? &m_pin : nullptr; }

private:
    struct Pin final : CBaseInputPin {
        explicit Pin(TellingSink* f) : CBaseInputPin(u"In", f, &f->m_lock, nullptr) {}
        HRESULT CheckMediaType(const CMediaType*) override { return S_OK; }
    };
    CCritSec m_lock;
    Pin m_pin{this};
    const HRESULT m_answer;
    const REFERENCE_TIME m_at;
};

class FilterGraphTest : public ::testing::Test {
protected:
    void SetUp() override { std::ofstream(path) << "data"; }

    plat::ComPtr<plat::AsyncFileSource> source(const char16_t* name)
    {
        plat::ComPtr<plat::AsyncFileSource> s(new plat::AsyncFileSource());
        EXPECT_EQ(s->Load(plat::utf8_to_utf16(path).c_str(), nullptr), S_OK);
        EXPECT_EQ(graph->AddFilter(s.get(), name), S_OK);
        return s;
    }
    plat::ComPtr<plat::RecordingSink> sink(const char16_t* name, const GUID& major = GUID_NULL)
    {
        plat::ComPtr<plat::RecordingSink> s(new plat::RecordingSink(plat::Payload::Keep, major));
        EXPECT_EQ(graph->AddFilter(s.get(), name), S_OK);
        return s;
    }

    plat::TempFolder folder;
    const std::string path = folder / "graph-source";
    plat::ComPtr<plat::FilterGraph> graph{new plat::FilterGraph()};
};

}

TEST_F(FilterGraphTest, ConnectsWhatTheSinkAcceptsAndNothingElse)
{
    auto src = source(u"File Source");
    auto video_only = sink(u"Video Sink", MEDIATYPE_Video);
    auto any = sink(u"Any Sink");
    EXPECT_TRUE(FAILED(graph->ConnectDirect(src->GetPin(0), video_only->input(), nullptr)));
    EXPECT_EQ(graph->Connect(src->GetPin(0), video_only->input()), VFW_E_CANNOT_CONNECT);
    EXPECT_EQ(graph->ConnectDirect(video_only->input(), src->GetPin(0), nullptr), VFW_E_INVALID_DIRECTION);
    ASSERT_EQ(graph->Connect(src->GetPin(0), any->input()), S_OK);
    EXPECT_EQ(graph->ConnectDirect(src->GetPin(0), any->input(), nullptr), VFW_E_ALREADY_CONNECTED);

    AM_MEDIA_TYPE type{};
    ASSERT_EQ(any->input()->ConnectionMediaType(&type), S_OK);
    EXPECT_EQ(type.majortype, MEDIATYPE_Stream);
    FreeMediaType(type);

    plat::ComPtr<IBaseFilter> found;
    ASSERT_EQ(graph->FindFilterByName(u"Any Sink", found.put()), S_OK);
    EXPECT_EQ(found.get(), static_cast<IBaseFilter*>(any.get()));
    ASSERT_EQ(graph->RemoveFilter(any.get()), S_OK);
    plat::ComPtr<IPin> peer;
    EXPECT_EQ(src->GetPin(0)->ConnectedTo(peer.put()), VFW_E_NOT_CONNECTED);
    EXPECT_EQ(graph->FindFilterByName(u"Any Sink", found.put()), VFW_E_NOT_FOUND);
}

TEST_F(FilterGraphTest, CompletesOnceEverySinkHasEnded)
{
    auto a = sink(u"A");
    auto b = sink(u"B");
    ASSERT_EQ(graph->Connect(source(u"S1")->GetPin(0), a->input()), S_OK);
    ASSERT_EQ(graph->Connect(source(u"S2")->GetPin(0), b->input()), S_OK);
    ASSERT_EQ(graph->Run(), S_OK);
    LONG code = 0;
    LONG_PTR p1, p2;
    graph->Notify(EC_COMPLETE, S_OK, 1);
    graph->Notify(EC_COMPLETE, S_OK, 1);   // the same sink again
    EXPECT_EQ(graph->WaitForCompletion(0, &code), E_ABORT);
    graph->Notify(EC_COMPLETE, S_OK, 2);
    ASSERT_EQ(graph->WaitForCompletion(0, &code), S_OK);
    EXPECT_EQ(code, EC_COMPLETE);
    ASSERT_EQ(graph->GetEvent(&code, &p1, &p2, 0), S_OK);
    EXPECT_EQ(code, EC_COMPLETE);
    EXPECT_EQ(graph->GetEvent(&code, &p1, &p2, 0), E_ABORT);

    // A new run gathers afresh; an error ends it at once.
    ASSERT_EQ(graph->Stop(), S_OK);
    ASSERT_EQ(graph->Run(), S_OK);
    EXPECT_EQ(graph->WaitForCompletion(0, &code), E_ABORT);
    graph->Notify(EC_ERRORABORT, E_FAIL, 0);
    ASSERT_EQ(graph->WaitForCompletion(0, &code), S_OK);
    EXPECT_EQ(code, EC_ERRORABORT);
    OAFilterState state;
    graph->GetState(0, &state);
    EXPECT_EQ(state, State_Running);
}

TEST_F(FilterGraphTest, ThePositionIsTheFurthestSinks)
{
    LONGLONG at = -1;
    EXPECT_EQ(graph->GetCurrentPosition(&at), E_NOTIMPL) << "no sink tells, no seeker answers";
    const plat::ComPtr<TellingSink> sinks[] = {plat::ComPtr<TellingSink>(new TellingSink(S_OK, 70)),
                                               plat::ComPtr<TellingSink>(new TellingSink(S_OK, 90)),
                                               plat::ComPtr<TellingSink>(new TellingSink(S_FALSE, 0))};
    const plat::ComPtr<TellingSink> unconnected(new TellingSink(S_OK, 500));
    ASSERT_EQ(graph->AddFilter(unconnected.get(), u"Unconnected"), S_OK);
    for (const auto& s : sinks) {
        ASSERT_EQ(graph->AddFilter(s.get(), nullptr), S_OK);
        ASSERT_EQ(graph->ConnectDirect(source(nullptr)->GetPin(0), s->GetPin(0), nullptr), S_OK);
    }
    EXPECT_EQ(graph->GetCurrentPosition(&at), S_OK);
    EXPECT_EQ(at, 90) << "a filter with no connected input is no sink";
}

TEST_F(FilterGraphTest, EventHandleIsSetExactlyWhileEventsWait)
{
    OAEVENT handle = 0;
    ASSERT_EQ(graph->GetEventHandle(&handle), S_OK);
    auto* has_events = reinterpret_cast<plat::Event*>(handle);
    ASSERT_NE(has_events, nullptr);
    EXPECT_EQ(has_events->wait(0), WAIT_TIMEOUT);
    ASSERT_EQ(graph->Run(), S_OK);   // no sinks: the first EC_COMPLETE completes

    // A graph-event thread: wake on the handle or a stop, drain, end at completion.
    plat::Event stop(plat::EventReset::Manual, plat::EventState::Clear);
    std::vector<LONG> seen;
    std::thread drainer([&] {
        while (plat::wait_any({&stop, has_events}, 60000) == WAIT_OBJECT_0 + 1) {
            LONG code;
            LONG_PTR p1, p2;
            while (graph->GetEvent(&code, &p1, &p2, 0) == S_OK) {
                graph->FreeEventParams(code, p1, p2);
                seen.push_back(code);
                if (code == EC_COMPLETE) return;
            }
        }
    });
    constexpr LONG some_event = 0x50;
    graph->Notify(some_event, 1, 2);
    graph->Notify(EC_COMPLETE, S_OK, 7);
    drainer.join();
    EXPECT_EQ(seen, (std::vector<LONG>{some_event, EC_COMPLETE}));
    EXPECT_EQ(has_events->wait(0), WAIT_TIMEOUT);   // drained: clear again

    // A wait with a time-out is met by an event that comes later.
    std::thread late([&] { graph->Notify(some_event, 3, 4); });
    LONG code = 0;
    LONG_PTR p1 = 0, p2 = 0;
    EXPECT_EQ(graph->GetEvent(&code, &p1, &p2, 60000), S_OK);
    late.join();
    EXPECT_EQ(code, some_event);
    EXPECT_EQ(p2, 4);
    EXPECT_EQ(graph->GetEvent(&code, &p1, &p2, 0), E_ABORT);
}
