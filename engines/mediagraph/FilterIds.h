#pragma once
// The filters the media graph engines add by class id, with the names they
// are added under.

#include "platform/base/Guid.h"

namespace mediagraph {

struct FilterId {
    CLSID clsid;
    const char16_t* name;
};

inline constexpr FilterId Demux{plat::make_guid("{4849B682-2B35-449F-8603-793F639244F3}"), u"Demux"};
inline constexpr FilterId KVRSplitter{plat::make_guid("{789FFF70-4233-41C8-9164-E97FBCD160CA}"), u"KVR Splitter"};
inline constexpr FilterId MOVSplitter{plat::make_guid("{61F47056-E400-43D3-AF1E-AB7DFFD4C4AD}"), u"MOV Splitter"};
inline constexpr FilterId AsfReader{plat::make_guid("{187463A0-5BB7-11D3-ACBE-0080C75E246E}"), u"WM AsfReader"};
inline constexpr FilterId AVISplitter{plat::make_guid("{1B544C20-FD0B-11CE-8C63-00AA0044B51E}"), u"AVI Splitter"};
inline constexpr FilterId MPEG1Splitter{plat::make_guid("{336475D0-942A-11CE-A870-00AA002FEAB5}"), u"MPEG-1 Splitter"};
inline constexpr FilterId MPEG2Splitter{plat::make_guid("{3AE86B20-7BE8-11D1-ABE6-00A0C905F375}"), u"MPEG-2 Splitter"};
inline constexpr FilterId MPEG2Demultiplexer{plat::make_guid("{AFB6C280-2C41-11D3-8A60-0000F81E0E4A}"),
                                             u"MPEG-2 demultiplexer"};
inline constexpr FilterId MPEGAudioSplitter{plat::make_guid("{336475D0-942A-11CE-A870-00AA002FEAB5}"), u"MPEG-I Splitter"};
inline constexpr FilterId WaveParser{plat::make_guid("{D51BD5A1-7548-11CF-A520-0080C77EF58A}"), u"Wave Parser"};
inline constexpr FilterId NetSource{plat::make_guid("{707C02AF-08D2-40CE-AE3F-E1B0C9ECBB7F}"), u"Corva Net Source"};
inline constexpr FilterId QTSource{plat::make_guid("{C4C557EE-276D-4009-B972-18CDAEF1A614}"), u"QT Source"};

inline constexpr FilterId FlashDecoder{plat::make_guid("{9B751BB6-8533-4D75-B1CE-8698D7494673}"), u"Flash Decoder"};
inline constexpr FilterId AVCDecoder{plat::make_guid("{09571A4B-F1FE-4C60-9760-DE6D310C7C31}"), u"AVC Decoder"};
inline constexpr FilterId AudioDecoder{plat::make_guid("{38631BAC-3B1F-4F99-B901-65D59604C8F4}"), u"KVR Audio Decoder"};
inline constexpr FilterId SubTitle{plat::make_guid("{493E2C64-43F2-40BC-883F-134FF1C1E864}"), u"Corva SubTitle"};
inline constexpr FilterId VideoRenderer{plat::make_guid("{51B4ABF3-748F-4E3B-A276-C828330E926A}"),
                                        u"Video Mixing Renderer 9"};
inline constexpr FilterId DirectSoundRenderer{plat::make_guid("{79376820-07D0-11CF-A24D-0020AFD79767}"),
                                              u"Default DirectSound Device"};
inline constexpr FilterId WaveOutRenderer{plat::make_guid("{E30629D1-27E5-11CE-875D-00608CB78066}"),
                                          u"Default WaveOut Device"};

inline constexpr FilterId VideoEncoder{plat::make_guid("{D4F110F9-65D0-4E80-962C-93663EED8A4B}"), u"KVR Video Encoder Filter"};
inline constexpr FilterId AudioEncoder{plat::make_guid("{0E57576B-F171-4DE4-BF84-D656CDCC65A3}"), u"KVR Audio Encoder Filter"};
inline constexpr FilterId Multiplexer{plat::make_guid("{6203F0C0-7995-4EE9-99E5-7CC6C99E0176}"), u"KVR Multiplexer Filter"};

// The DMO wrapper and the sound pass-through it is given (the visualisation's sample reader).
inline constexpr FilterId DMOWrapper{plat::make_guid("{94297043-BD82-4DFD-B0DE-8177739C6D20}"), u"Corva PassThrough DMO"};
inline constexpr CLSID PassThroughDmo = plat::make_guid("{6A011036-E531-47AB-853F-396111D9D3A2}");
inline constexpr GUID PassThroughDmoCategory = plat::make_guid("{F3602B3F-0592-48DF-A4CD-674721E7EBEB}");

// The subtitle filter's property set: 0 the source path (8-bit, with its
// terminating zero), 1 on, 4 the position in milliseconds.
inline constexpr GUID SubTitleProperties = plat::make_guid("{7743C91D-9A73-4FC4-952C-36A24E61A8CA}");

}
