#include "platform/dshow/MediaTimeSeeking.h"

namespace plat {

HRESULT MediaTimeSeeking::IsFormatSupported(const GUID* format)
{
    if (!format) return E_POINTER;
    return *format == TIME_FORMAT_MEDIA_TIME ? S_OK : S_FALSE;
}

HRESULT MediaTimeSeeking::QueryPreferredFormat(GUID* format) { return GetTimeFormat(format); }

HRESULT MediaTimeSeeking::GetTimeFormat(GUID* format)
{
    if (!format) return E_POINTER;
    *format = TIME_FORMAT_MEDIA_TIME;
    return S_OK;
}

HRESULT MediaTimeSeeking::IsUsingTimeFormat(const GUID* format) { return IsFormatSupported(format); }

HRESULT MediaTimeSeeking::SetTimeFormat(const GUID* format)
{
    if (!format) return E_POINTER;
    return *format == TIME_FORMAT_MEDIA_TIME ? S_OK : E_INVALIDARG;
}

HRESULT MediaTimeSeeking::GetPreroll(LONGLONG* preroll)
{
    if (!preroll) return E_POINTER;
    *preroll = 0;
    return S_OK;
}

}
