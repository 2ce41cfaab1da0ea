#pragma once
// What the visualisation reads the sound at the play position from: the
// sample reader the pass-through DMO implements and the video engine hands
// out. It lives with its implementer, below the visualisation that reads it.

#include "platform/com/Unknown.h"

inline constexpr IID IID_ISampleReader = plat::make_guid("{72E9819F-5EAE-40DE-B36B-06A1ED462134}");

struct ISampleReader : IUnknown {
    static constexpr const IID& iid = IID_ISampleReader;
    // Up to size bytes of interleaved 16-bit stereo PCM at position (100 ns
    // units) into buffer; the number of bytes delivered, 0 when none.
    virtual LONG Read(LONGLONG position, BYTE* buffer, LONG size) = 0;

protected:
    ~ISampleReader() = default;
};
