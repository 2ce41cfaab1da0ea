// The outside filters module: the decoders, the encoders and the
// multiplexer, created by class id.

#include "AudioEncoderFilter.h"
#include "AudioRenderer.h"
#include "Decoders.h"
#include "DmoWrapperFilter.h"
#include "LavfSplitter.h"
#include "SubtitleFilter.h"
#include "MultiplexerFilter.h"
#include "NetSource.h"
#include "PassThroughDmo.h"
#include "VideoEncoderFilter.h"
#include "VideoMixingRenderer9.h"
#include "platform/com/ServerExports.h"
#include "platform/com/ServerModule.h"
#include "platform/dshow/FilterClass.h"

namespace {

const plat::ServerClass classes[] = {
    plat::filter_class<filters::FlashDecoder>({filters::CLSID_FlashDecoder, "Flash Decoder", "", "", "Both"}),
    plat::filter_class<filters::AVCDecoder>({filters::CLSID_AVCDecoder, "AVC Decoder", "", "", "Both"}),
    plat::filter_class<filters::KVRAudioDecoder>({filters::CLSID_KVRAudioDecoder, "KVR Audio Decoder", "", "", "Both"}),
    plat::filter_class<filters::KVRVideoEncoder>({filters::CLSID_KVRVideoEncoder, "KVR Video Encoder Filter", "", "", "Both"}),
    plat::filter_class<filters::KVRAudioEncoder>({filters::CLSID_KVRAudioEncoder, "KVR Audio Encoder Filter", "", "", "Both"}),
    plat::filter_class<filters::KVRMultiplexer>({filters::CLSID_KVRMultiplexer, "KVR Multiplexer Filter", "", "", "Both"}),
    plat::filter_class<filters::AVISplitter>({filters::CLSID_AVISplitter, "AVI Splitter", "", "", "Both"}),
    plat::filter_class<filters::MPEG1Splitter>({filters::CLSID_MPEG1Splitter, "MPEG-1 Splitter", "", "", "Both"}),
    plat::filter_class<filters::MPEG2Splitter>({filters::CLSID_MPEG2Splitter, "MPEG-2 Splitter", "", "", "Both"}),
    plat::filter_class<filters::MPEG2Demultiplexer>(
        {filters::CLSID_MPEG2Demultiplexer, "MPEG-2 Demultiplexer", "", "", "Both"}),
    plat::filter_class<filters::MOVSplitter>({filters::CLSID_MOVSplitter, "MOV Splitter", "", "", "Both"}),
    plat::filter_class<filters::WaveParser>({filters::CLSID_WaveParser, "Wave Parser", "", "", "Both"}),
    plat::filter_class<filters::CorvaSubTitle>({filters::CLSID_CorvaSubTitle, "Corva SubTitle", "", "", "Both"}),
    plat::filter_class<filters::CorvaNetSource>({filters::CLSID_CorvaNetSource, "Corva Net Source", "", "", "Both"}),
    plat::filter_class<filters::DmoWrapperFilter>({CLSID_DMOWrapperFilter, "DMO Wrapper Filter", "", "", "Both"}),
    plat::server_class<filters::PassThroughDmo>(
        {filters::CLSID_CorvaPassThroughDmo, "Corva PassThrough DMO", "", "", "Both"}),
    plat::filter_class<filters::DefaultDirectSoundDevice>(
        {filters::CLSID_DSoundRender, "Default DirectSound Device", "", "", "Both"}),
    plat::filter_class<filters::VideoMixingRenderer9>(
        {filters::CLSID_VideoMixingRenderer9, "Video Mixing Renderer 9", "", "", "Both"}),
    plat::filter_class<filters::DefaultWaveOutDevice>({filters::CLSID_AudioRender, "Default WaveOut Device", "", "", "Both"}),
};

}

HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object)
{
    return plat::get_class_object(classes, clsid, iid, object);
}
HRESULT DllCanUnloadNow() { return plat::can_unload_now(); }
HRESULT DllRegisterServer() { return plat::register_server(classes); }
HRESULT DllUnregisterServer() { return plat::unregister_server(classes); }
