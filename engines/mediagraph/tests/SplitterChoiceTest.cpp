#include "engines/mediagraph/SplitterChoice.h"

#include <gtest/gtest.h>
#include <vector>

using namespace mediagraph;

TEST(SplitterChoice, TheFirstRowWhoseNameThePathHoldsDecides)
{
    const struct {
        std::u16string_view path;
        std::vector<SplitterKind> kinds;
    } cases[] = {
        {u"/v/a.MKV", {KIND_KVR}},
        {u"/v/a.Mp4", {}},                 // names are matched as written
        {u"/v/a.mp4.avi", {KIND_KVR}},     // the ".mp4" row comes first
        {u"/v/a.avi", {KIND_AVI, KIND_ASF_VIDEO}},
        {u"/v/a.mpeg", {KIND_MPEG1, KIND_MPEG2}},
        {u"/v/a.VOB", {KIND_MPEG2}},
        {u"/v/a.vod", {KIND_DEMUX}},
        {u"/v/a.wmv", {KIND_ASF_VIDEO}},
        {u"/v/a.wma", {KIND_ASF_AUDIO}},
        {u"/v/a.mp2", {KIND_MPEG_AUDIO}},
        {u"/v/a.WAV", {KIND_WAVE}},
        {u"/v/a.rmvb", {KIND_KVR}},
        {u"/v/a.ogg", {}},
        {u"/v.flv/clip", {KIND_KVR}},     // anywhere in the path
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.path.begin(), c.path.end()));
        const auto kinds = splitters_for_path(c.path);
        EXPECT_EQ(std::vector<SplitterKind>(kinds.begin(), kinds.end()), c.kinds);
    }
}

TEST(SplitterChoice, QuickTimeNamesAndAudioOnlyKinds)
{
    EXPECT_TRUE(is_quicktime_path(u"/a.qt"));
    EXPECT_TRUE(is_quicktime_path(u"/a.MOV"));
    EXPECT_FALSE(is_quicktime_path(u"/a.Mov"));
    for (LONG kind : {13, 14, 15, 16}) EXPECT_TRUE(is_audio_only(kind));
    for (LONG kind : {1, 3, 4, 6, 7, 8, 9}) EXPECT_FALSE(is_audio_only(kind));
}
