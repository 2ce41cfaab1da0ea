#pragma once
// plat::RecordingSink: a sink filter for tests and benchmarks. Its one input
// pin accepts every type (or one major type), records each sample with its
// times and flags, the segments, flushes and the end of the stream, and
// reports EC_COMPLETE to the graph at the end of the stream.

#include "platform/dshow/BaseFilter.h"
#include "platform/dshow/MediaType.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace plat {

struct RecordedSample {
    std::vector<BYTE> data;          // empty when payloads are not kept
    LONG length{0};
    bool has_time{false};
    REFERENCE_TIME start{0}, stop{0};
    bool sync{false}, discontinuity{false}, preroll{false};
    std::optional<CMediaType> type;  // set when the sample changed the type
    int segment{0};                  // how many NewSegment calls came before it
};

struct RecordedSegment {
    REFERENCE_TIME start, stop;
    double rate;
};

enum class Payload { Keep, Drop };

class RecordingSink final : public CBaseFilter {
public:
    explicit RecordingSink(Payload payload = Payload::Keep, const GUID& major = GUID_NULL);

    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int n) override;
    IPin* input();

    // From the sample with this index on, Receive fails with the result.
    void fail_from(std::size_t index, HRESULT result);
    // True once the stream ended within the time-out.
    bool wait_for_end(DWORD timeout_ms);
    // True once at least count samples arrived within the time-out.
    bool wait_for_samples(std::size_t count, DWORD timeout_ms);
    void clear();

    std::vector<RecordedSample> samples() const;
    std::vector<RecordedSegment> segments() const;
    std::size_t sample_count() const;
    std::uint64_t byte_count() const;
    int flush_count() const;
    bool ended() const;

private:
    ~RecordingSink() override;
    class InputPin;
    friend class InputPin;
    HRESULT record(IMediaSample* sample);
    void on_new_segment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);
    void on_flush();
    void on_end();

    CCritSec m_filter_lock;
    std::unique_ptr<InputPin> m_pin;
    const Payload m_payload;
    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<RecordedSample> m_samples;     // guarded by m_lock
    std::vector<RecordedSegment> m_segments;   // guarded by m_lock
    std::size_t m_received{0};                 // guarded by m_lock
    std::uint64_t m_bytes{0};                  // guarded by m_lock
    int m_flushes{0};                          // guarded by m_lock
    bool m_ended{false};                       // guarded by m_lock
    std::optional<std::size_t> m_fail_index;   // guarded by m_lock
    HRESULT m_fail_result{S_OK};               // guarded by m_lock
};

}
