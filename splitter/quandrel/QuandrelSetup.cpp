#include "splitter/quandrel/QuandrelSetup.h"

#include "platform/dshow/MediaFormats.h"

namespace quandrel {

namespace {

constexpr plat::PinTypeSetup input_types[] = {
    {&MEDIATYPE_Stream, &MEDIASUBTYPE_FlvStream},
    {&MEDIATYPE_Stream, &MEDIASUBTYPE_MatroskaStream},
    {&MEDIATYPE_Stream, &GUID_NULL},
};
constexpr plat::PinTypeSetup audio_types[] = {{&MEDIATYPE_Audio, &GUID_NULL}};
constexpr plat::PinTypeSetup video_types[] = {{&MEDIATYPE_Video, &GUID_NULL}};

constexpr plat::PinSetup pins[] = {
    {"Input", false, false, false, false, input_types},
    {"Audio Output", false, true, true, false, audio_types},
    {"Video Output", false, true, true, false, video_types},
};

}

const plat::FilterSetup filter_setup{&CLSID_QuandrelSplitter, "KVR Splitter", 0x00060000, pins};

}
