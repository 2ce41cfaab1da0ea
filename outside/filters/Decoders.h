#pragma once
// The decoder classes the media graph engine adds by class id and name.

#include "AvDecoderFilter.h"

namespace filters {

inline constexpr CLSID CLSID_FlashDecoder = plat::make_guid("{9B751BB6-8533-4D75-B1CE-8698D7494673}");
inline constexpr CLSID CLSID_AVCDecoder = plat::make_guid("{09571A4B-F1FE-4C60-9760-DE6D310C7C31}");
inline constexpr CLSID CLSID_KVRAudioDecoder = plat::make_guid("{38631BAC-3B1F-4F99-B901-65D59604C8F4}");

// Both video decoders take every picture type the splitters make: the engine
// picks one by splitter, and libavcodec decodes them all.
class FlashDecoder final : public AvDecoderFilter {
public:
    FlashDecoder() : AvDecoderFilter(u"Flash Decoder", CLSID_FlashDecoder, StreamKind::Video) {}
};

class AVCDecoder final : public AvDecoderFilter {
public:
    AVCDecoder() : AvDecoderFilter(u"AVC Decoder", CLSID_AVCDecoder, StreamKind::Video) {}
};

class KVRAudioDecoder final : public AvDecoderFilter {
public:
    KVRAudioDecoder() : AvDecoderFilter(u"KVR Audio Decoder", CLSID_KVRAudioDecoder, StreamKind::Audio) {}
};

}
