#pragma once
// "Corva PassThrough DMO": leaves the sound as it is and keeps the last two
// seconds of it, as 16-bit stereo with the time of its first frame, for the
// visualisation's sample reader (ISampleReader::Read at a play position).

#include "platform/com/ComObject.h"
#include "platform/dshow/Dmo.h"
#include "outside/filters/ISampleReader.h"

#include <cstdint>
#include <deque>
#include <mutex>

namespace filters {

inline constexpr CLSID CLSID_CorvaPassThroughDmo = plat::make_guid("{6A011036-E531-47AB-853F-396111D9D3A2}");
inline constexpr GUID DMOCATEGORY_CorvaPassThrough = plat::make_guid("{F3602B3F-0592-48DF-A4CD-674721E7EBEB}");

class PassThroughDmo final : public plat::ComObject<IMediaObject, IMediaObjectInPlace, ISampleReader> {
public:
    // PCM of 8 or 16 bits, any number of channels.
    HRESULT SetInputType(DWORD stream, const DMO_MEDIA_TYPE* type, DWORD flags) override;
    // Only the input's type.
    HRESULT SetOutputType(DWORD stream, const DMO_MEDIA_TYPE* type, DWORD flags) override;
    HRESULT Process(ULONG size, BYTE* data, REFERENCE_TIME start, DWORD flags) override;
    // Whole frames from the one at position on, up to size bytes; 0 when the
    // position is not in the ring (not yet played, or long gone).
    LONG Read(LONGLONG position, BYTE* buffer, LONG size) override;

private:
    void keep(const BYTE* data, std::size_t frames);

    std::mutex m_lock;
    WORD m_channels = 0;                 // guarded by m_lock; 0 until a type is set
    WORD m_bits = 0;                     // guarded by m_lock
    DWORD m_rate = 0;                    // guarded by m_lock
    std::deque<std::int16_t> m_ring;     // guarded by m_lock; interleaved left, right
    REFERENCE_TIME m_first = 0;          // guarded by m_lock; the time of the ring's first frame
};

}
