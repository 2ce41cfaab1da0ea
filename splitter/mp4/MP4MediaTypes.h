#pragma once
// The media types of an MP4 track, from its first sample's description, or,
// without one, from its avc1 entry or the first visual or audio entry.

#include "platform/dshow/MediaType.h"

#include <string>
#include <vector>

class AP4_Sample;
class AP4_Track;
class CMP4SplitterFile;

// The GUIDs the MP4 parser's types carry beyond the common ones.
inline constexpr GUID MEDIASUBTYPE_VOBSUB = plat::make_guid("{F7239E31-9599-4E43-8DD5-FBAF75CF37F1}");
inline constexpr GUID MEDIASUBTYPE_TimedText = plat::make_guid("{370689E7-B226-4F67-978D-F10BC1A9C6AE}");
inline constexpr GUID MEDIASUBTYPE_UTF8 = plat::make_guid("{87C0B230-03A8-4FDF-8010-B27A5848200D}");
inline constexpr GUID FORMAT_SubtitleInfo = plat::make_guid("{A33D2F7D-96BC-4337-B23B-A8B9FBC295E9}");
inline constexpr std::size_t subtitle_info_size = 520;

// An empty list means the track gets no pin. The file is read (MPEG video and
// audio headers at the first sample) and left where those reads end.
std::vector<CMediaType> MakeMP4MediaTypes(const AP4_Track& track, const AP4_Sample& first, CMP4SplitterFile& file,
                                          const std::u16string& name, const std::string& language);

// The subtitle-info block: data offset, language, track name.
std::vector<BYTE> MakeSubtitleInfo(const std::string& language, const std::u16string& name);
