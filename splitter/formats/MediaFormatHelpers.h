#pragma once
// Small helpers several parsers share: text conversion, language codes, AAC
// decoder configurations, MPEG-2 video types from a raw sequence header, and
// the bitmap header inside a video media type.

#include "platform/dshow/MediaFormats.h"

#include <array>
#include <memory>
#include <string>

class CMediaType;

// A zero-terminated copy in UTF-16; null when the text converts to nothing.
std::unique_ptr<WCHAR[]> Utf8ToWide(const char* text);

// The ISO 639-2 code of a two-letter code (only the first two characters
// count, in any case: "EN" and "en-US" give "eng"); empty when unknown.
std::string LanguageCode3(const char* text);

// An AAC audio-specific configuration; a negative object type index announces
// spectral band replication. Returns the length written, 2 or 5.
int MakeAacConfig(std::array<BYTE, 5>& out, int object_type_index, int rate, int channels);

// An MPEG-2 video type carrying the header; false when the header is not a
// whole sequence header (with its extension, when one follows).
bool MakeMpeg2VideoType(CMediaType& type, const BYTE* header, DWORD length, DWORD width, DWORD height);

// The bitmap header of a video info, video info 2 or MPEG video block; false
// for other blocks and for blocks too short to hold one.
bool GetBitmapHeader(const AM_MEDIA_TYPE* type, BITMAPINFOHEADER* out);
