#pragma once
// MatroskaPacket: one Block on its way to its pin, with all its laced frames
// and the block's start and stop; the pin splits it into one packet a frame.

#include "splitter/base/Packet.h"
#include "splitter/matroska/MatroskaRecords.h"

#include <memory>

class MatroskaPacket : public Packet {
public:
    // Counts the frames' bytes: its own byte array stays empty.
    std::int64_t GetDataSize() const override { return bg ? bg->b.FrameBytes() : 0; }

    std::unique_ptr<MatroskaReader::BlockGroup> bg;
};
