#pragma once
// plat::MediaTimeSeeking: the time-format half of IMediaSeeking for filters
// and pins that seek in media time (100 ns units) only.

#include "platform/dshow/Interfaces.h"

namespace plat {

class MediaTimeSeeking : public IMediaSeeking {
public:
    // S_OK for TIME_FORMAT_MEDIA_TIME, else S_FALSE.
    HRESULT IsFormatSupported(const GUID* format) override;
    HRESULT QueryPreferredFormat(GUID* format) override;
    HRESULT GetTimeFormat(GUID* format) override;
    HRESULT IsUsingTimeFormat(const GUID* format) override;
    // S_OK for media time, else E_INVALIDARG.
    HRESULT SetTimeFormat(const GUID* format) override;
    // One format: there is nothing to convert between.
    HRESULT ConvertTimeFormat(LONGLONG*, const GUID*, LONGLONG, const GUID*) override { return E_NOTIMPL; }
    HRESULT GetPreroll(LONGLONG* preroll) override;

protected:
    ~MediaTimeSeeking() = default;
};

}
