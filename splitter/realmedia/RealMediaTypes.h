#pragma once
// The media types of RealMedia streams, built from their codec headers.

#include "platform/dshow/MediaFormats.h"
#include "platform/dshow/MediaType.h"
#include "splitter/realmedia/RMFile.h"

#include <vector>

// The subtypes whose packets hold several AAC frames behind a size table:
// the stream's own two codes, the AAC type that carries the decoder
// configuration, and "MP4A", the other name raw AAC frames go by.
inline constexpr GUID realmedia_aac_subtypes[] = {
    plat::fourcc_guid(MAKEFOURCC('R', 'A', 'A', 'C')),
    plat::fourcc_guid(MAKEFOURCC('R', 'A', 'C', 'P')),
    plat::fourcc_guid(WAVE_FORMAT_AAC),
    plat::fourcc_guid(MAKEFOURCC('M', 'P', '4', 'A')),
};

// Empty when the stream cannot be offered.
std::vector<CMediaType> RealMediaStreamTypes(const RMFF::MediaProperties& mp);
