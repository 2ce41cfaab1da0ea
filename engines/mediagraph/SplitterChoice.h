#pragma once
// Which splitter a graph tries for a source, chosen from its name, and the
// generic chain tried when the name asks for none or its choice fails.

#include "platform/base/Types.h"

#include <span>
#include <string_view>

namespace mediagraph {

// The splitter kinds (what command 12290 answers); 0 until a splitter connects.
// A graph that plays sound alone from a source that may hold video (the
// "KVR Splitter", the QuickTime source, ...) answers KIND_SOUND_ALONE, so the
// media kind follows the streams played, not the container.
enum SplitterKind : LONG {
    KIND_NONE = 0,
    KIND_DEMUX = 1,
    KIND_KVR = 3,
    KIND_MOV = 4,
    KIND_ASF_VIDEO = 6,
    KIND_AVI = 7,
    KIND_MPEG1 = 8,
    KIND_MPEG2 = 9,
    KIND_MPEG_AUDIO = 13,
    KIND_ASF_AUDIO = 14,
    KIND_SOUND_ALONE = 15,
    KIND_WAVE = 16,
};

inline bool is_audio_only(LONG kind) { return kind >= 13 && kind <= 16; }

// The kinds the first name in the table that the path contains asks for, in
// the order tried; empty when it contains none.
std::span<const SplitterKind> splitters_for_path(std::u16string_view path);

// After the "KVR Splitter" has failed: tried in this order.
inline constexpr SplitterKind fallback_chain[] = {KIND_MPEG2, KIND_MPEG1, KIND_MOV, KIND_ASF_VIDEO, KIND_ASF_AUDIO,
                                                  KIND_MPEG_AUDIO};

// ".mov", ".MOV", ".qt" or ".QT": a failed graph is tried again on the QuickTime source.
bool is_quicktime_path(std::u16string_view path);

}
