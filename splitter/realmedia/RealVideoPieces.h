#pragma once
// The pieces RealVideo frames are cut into inside RealMedia packets, and the
// picture size in an RV40/RV41 frame header.

#include "platform/base/Types.h"

#include <span>

struct RealVideoPiece {
    BYTE header{0};
    bool whole{false};           // a whole frame in one piece
    DWORD frame_length{0};
    DWORD offset{0};             // of the piece in its frame
    bool has_time{false};        // the offset field carried a time stamp instead
    DWORD time_ms{0};
    std::span<const BYTE> bytes;
    bool completes{false};       // the frame is whole once this piece is in
};

// Reads the piece at data[at] and moves at past it. False when the piece is
// cut short or its offset lies outside its frame.
bool ReadRealVideoPiece(std::span<const BYTE> data, std::size_t& at, RealVideoPiece& piece);

// The picture size coded in an RV40 or RV41 key frame; false when cut short.
bool ReadRealVideoPictureSize(std::span<const BYTE> frame, DWORD& width, DWORD& height);
