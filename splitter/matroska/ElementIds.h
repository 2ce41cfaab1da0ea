#pragma once
// The Matroska element ids the reader and the parser name.

#include "platform/base/Types.h"

namespace MatroskaReader::Id {

inline constexpr DWORD EBML = 0x1A45DFA3;
inline constexpr DWORD Segment = 0x18538067;
inline constexpr DWORD SeekHead = 0x114D9B74;
inline constexpr DWORD Info = 0x1549A966;
inline constexpr DWORD Tracks = 0x1654AE6B;
inline constexpr DWORD Cues = 0x1C53BB6B;
inline constexpr DWORD Attachments = 0x1941A469;
inline constexpr DWORD Chapters = 0x1043A770;
inline constexpr DWORD Tags = 0x1254C367;
inline constexpr DWORD Cluster = 0x1F43B675;
inline constexpr DWORD Timecode = 0xE7;
inline constexpr DWORD BlockGroup = 0xA0;
inline constexpr DWORD Block = 0xA1;
inline constexpr DWORD SimpleBlock = 0xA3;
inline constexpr DWORD Void = 0xEC;
inline constexpr DWORD Crc32 = 0xBF;

}
