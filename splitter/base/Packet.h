#pragma once
// Packet: one unit of demultiplexed data on its way from a parser to an
// output pin. Exactly one holder owns a packet at a time (a unique_ptr); a
// null packet in a queue marks the end of the stream.

#include "platform/dshow/MediaType.h"

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

// A packet start of this value carries no time stamp.
inline constexpr REFERENCE_TIME INVALID_TIME = INT64_MIN;

class Packet {
public:
    Packet() = default;
    virtual ~Packet() = default;
    Packet(const Packet&) = delete;
    Packet& operator=(const Packet&) = delete;

    // What the packet counts for in a queue's byte size.
    virtual std::int64_t GetDataSize() const { return static_cast<std::int64_t>(data.size()); }

    // Appends with a growth step of at least 1024 bytes and at least doubling,
    // so that gluing many small pieces copies each byte a bounded number of times.
    void Append(std::span<const BYTE> bytes);

    DWORD TrackNumber{0};
    bool bDiscontinuity{false};
    bool bSyncPoint{false};
    bool bAppendable{false};
    REFERENCE_TIME rtStart{INVALID_TIME};
    REFERENCE_TIME rtStop{INVALID_TIME};
    std::unique_ptr<CMediaType> pmt;   // when set, the pin switches to this type first
    std::vector<BYTE> data;
};
