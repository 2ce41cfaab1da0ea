#include "platform/com/Com.h"
#include "platform/dshow/MediaFormats.h"
#include "platform/dshow/MediaType.h"

#include <gtest/gtest.h>

namespace {

CMediaType video_type(LONG width)
{
    CMediaType t(MEDIATYPE_Video);
    t.SetSubtype(&MEDIASUBTYPE_MPEG2_VIDEO);
    t.SetFormatType(&FORMAT_VideoInfo);
    auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(t.AllocFormatBuffer(sizeof(VIDEOINFOHEADER)));
    vih->bmiHeader.biWidth = width;
    return t;
}

}

TEST(MediaType, CopiesOwnTheirFormatBlock)
{
    CMediaType a = video_type(320);
    CMediaType b = a;
    ASSERT_NE(a.Format(), b.Format());
    EXPECT_TRUE(a == b);
    reinterpret_cast<VIDEOINFOHEADER*>(b.Format())->bmiHeader.biWidth = 640;
    EXPECT_FALSE(a == b);

    AM_MEDIA_TYPE* heap = CreateMediaType(&a);
    ASSERT_NE(heap, nullptr);
    EXPECT_TRUE(CMediaType(*heap) == a);
    DeleteMediaType(heap);
}

TEST(MediaType, PartialTypesMatchOnTheFieldsTheyName)
{
    CMediaType full = video_type(320);
    AM_MEDIA_TYPE any{};
    AM_MEDIA_TYPE video_only{};
    video_only.majortype = MEDIATYPE_Video;
    AM_MEDIA_TYPE audio_only{};
    audio_only.majortype = MEDIATYPE_Audio;
    EXPECT_TRUE(full.MatchesPartial(any));
    EXPECT_TRUE(full.MatchesPartial(video_only));
    EXPECT_FALSE(full.MatchesPartial(audio_only));
}

TEST(MediaType, FourccSubtypesUseTheStandardBase)
{
    EXPECT_EQ(plat::format_guid(MEDIATYPE_Video), "{73646976-0000-0010-8000-00AA00389B71}");
    EXPECT_EQ(plat::format_guid(MEDIASUBTYPE_PCM), "{00000001-0000-0010-8000-00AA00389B71}");
}

TEST(MediaType, HeapTypesAndBlocksAreTaskMemory)
{
    // A type another module made with the task allocator is freed here ...
    auto* theirs = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    ASSERT_NE(theirs, nullptr);
    *theirs = AM_MEDIA_TYPE{};
    theirs->majortype = MEDIATYPE_Audio;
    theirs->cbFormat = sizeof(WAVEFORMATEX);
    theirs->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(theirs->cbFormat));
    ASSERT_NE(theirs->pbFormat, nullptr);
    CMediaType copy(*theirs);
    DeleteMediaType(theirs);

    // ... and one made here is freed by another module's task allocator.
    AM_MEDIA_TYPE* ours = CreateMediaType(&copy);
    ASSERT_NE(ours, nullptr);
    ASSERT_NE(ours->pbFormat, nullptr);
    CoTaskMemFree(ours->pbFormat);
    CoTaskMemFree(ours);
}
