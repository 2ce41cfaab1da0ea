#pragma once
// The QuickTime names, four-letter codes, error numbers and records the
// movie reader uses. Records are native-endian: they never leave the process.

#include <cstdint>

namespace qt {

using OSErr = std::int16_t;
using OSType = std::uint32_t;
using Fixed = std::int32_t;            // 16.16
using UnsignedFixed = std::uint32_t;   // 16.16
using TimeValue = std::int32_t;
using TimeScale = std::int32_t;
using Boolean = std::uint8_t;

constexpr OSType fourcc(const char (&code)[5])
{
    return static_cast<OSType>(static_cast<unsigned char>(code[0])) << 24 |
           static_cast<OSType>(static_cast<unsigned char>(code[1])) << 16 |
           static_cast<OSType>(static_cast<unsigned char>(code[2])) << 8 | static_cast<unsigned char>(code[3]);
}

inline constexpr OSErr noErr = 0;
inline constexpr OSErr fnfErr = -43;              // no such file
inline constexpr OSErr permErr = -54;             // the file cannot be opened with that permission
inline constexpr OSErr memFullErr = -108;         // out of memory
inline constexpr OSErr badFormat = -206;          // not a sound header
inline constexpr OSErr invalidMovie = -2010;
inline constexpr OSErr invalidDuration = -2014;   // the range asked lies past the track's end
inline constexpr OSErr badComponentType = -2002;
inline constexpr OSErr notEnoughDataErr = -2149;  // the track's data cannot be read
inline constexpr OSErr qtmlUninitialized = -2093; // QuickTime was not started

inline constexpr OSType VideoMediaType = fourcc("vide");
inline constexpr OSType SoundMediaType = fourcc("soun");
inline constexpr OSType AudioMediaCharacteristic = fourcc("ears");
inline constexpr OSType MovieExportType = fourcc("spit");
inline constexpr OSType SoundResourceType = fourcc("snd ");

inline constexpr OSType k24BGRPixelFormat = fourcc("24BG");
inline constexpr OSType k16LE565PixelFormat = fourcc("L565");
inline constexpr OSType k16LE555PixelFormat = fourcc("L555");
inline constexpr OSType kYUVSPixelFormat = fourcc("yuvs");
inline constexpr OSType k32BGRAPixelFormat = fourcc("BGRA");

inline constexpr OSType kSoundNotCompressed = fourcc("NONE");
inline constexpr OSType k16BitBigEndianFormat = fourcc("twos");
inline constexpr OSType k16BitLittleEndianFormat = fourcc("sowt");
inline constexpr OSType k8BitOffsetBinaryFormat = fourcc("raw ");

// Permissions of OpenMovieFile.
inline constexpr std::int8_t fsRdPerm = 1;
inline constexpr std::int8_t fsRdWrPerm = 3;
// NewMovieFromFile and GetMovieIndTrackType flags.
inline constexpr std::int16_t newMovieActive = 1 << 0;
inline constexpr long movieTrackMediaType = 1 << 0;
inline constexpr long movieTrackCharacteristic = 1 << 1;
inline constexpr long movieTrackEnabledOnly = 1 << 2;
// GetMovieNextInterestingTime flags.
inline constexpr std::int16_t nextTimeMediaSample = 1 << 0;
inline constexpr std::int16_t nextTimeEdgeOK = 1 << 14;
inline constexpr Fixed fixed1 = 0x10000;

struct Rect {
    std::int16_t top, left, bottom, right;
};

// A file named by its native path.
struct FSSpec {
    char path[1024];
};

struct SoundDescription {
    std::int32_t descSize;   // 36
    OSType dataFormat;
    std::int32_t resvd1;
    std::int16_t resvd2;
    std::int16_t dataRefIndex;
    std::int16_t version;
    std::int16_t revlevel;
    std::int32_t vendor;
    std::int16_t numChannels;
    std::int16_t sampleSize;
    std::int16_t compressionID;
    std::int16_t packetSize;
    UnsignedFixed sampleRate;
};
static_assert(sizeof(SoundDescription) == 36);

struct ImageDescription {
    std::int32_t idSize;
    OSType cType;
    std::int16_t width;
    std::int16_t height;
    std::int16_t depth;
};

// What ParseSndHeader reads of a sound header.
struct SoundComponentData {
    long flags;
    OSType format;
    std::int16_t numChannels;
    std::int16_t sampleSize;
    UnsignedFixed sampleRate;
    long sampleCount;
};

using Handle = char**;
using SampleDescriptionHandle = Handle;

struct MovieRecord;
struct TrackRecord;
struct MediaRecord;
struct GWorldRecord;
struct PixMapRecord;
struct ComponentRecord;
using Movie = MovieRecord*;
using Track = TrackRecord*;
using Media = MediaRecord*;
using GWorldPtr = GWorldRecord*;
using PixMapHandle = PixMapRecord*;
using ComponentInstance = ComponentRecord*;
using MovieExportComponent = ComponentInstance;

}
