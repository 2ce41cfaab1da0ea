// mossveil_dump MOVIE OUT
// Plays a QuickTime movie through the "QT Source" filter into recording
// sinks and writes what came out: the first frame as OUT.png (RGB32) and the
// whole sound as OUT.wav (the pin's PCM). Prints the pins, the frame count
// and the length of the sound.

#include "platform/base/Utf.h"
#include "platform/d3d9/ImageFile.h"
#include "platform/dshow/FilterGraph.h"
#include "platform/dshow/MediaFormats.h"
#include "platform/dshow/RecordingSink.h"
#include "qtsource/MossveilSourceFilter.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

using plat::ComPtr;

namespace {

IPin* find_pin(IBaseFilter* filter, const WCHAR* name)
{
    ComPtr<IPin> pin;
    return filter->FindPin(name, pin.put()) == S_OK ? pin.get() : nullptr;
}

// RGB32, top row first, at the movie's size.
CMediaType top_down_rgb32(IPin* video)
{
    ComPtr<IEnumMediaTypes> types;
    video->EnumMediaTypes(types.put());
    CMediaType chosen;
    for (AM_MEDIA_TYPE* type = nullptr; types->Next(1, &type, nullptr) == S_OK; DeleteMediaType(type))
        if (type->subtype == MEDIASUBTYPE_RGB32) chosen = *type;
    if (chosen.Format()) reinterpret_cast<VIDEOINFOHEADER*>(chosen.Format())->bmiHeader.biHeight *= -1;
    return chosen;
}

bool write_png(const std::string& path, const plat::RecordedSample& frame, const CMediaType& type)
{
    const BITMAPINFOHEADER& bmi = reinterpret_cast<const VIDEOINFOHEADER*>(type.Format())->bmiHeader;
    const int width = bmi.biWidth, height = -bmi.biHeight;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
    if (frame.data.size() < pixels.size() * 4) return false;
    std::memcpy(pixels.data(), frame.data.data(), pixels.size() * 4);
    for (auto& p : pixels) p |= 0xFF000000u;   // the pin leaves alpha unset
    std::string error;
    if (plat::encode_image_file(path, plat::ImageFileKind::Png, pixels.data(), width, height, width, error)) return true;
    std::fprintf(stderr, "mossveil_dump: %s: %s\n", path.c_str(), error.c_str());
    return false;
}

void put32(std::ofstream& out, std::uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); }

bool write_wav(const std::string& path, const WAVEFORMATEX& format, const std::vector<plat::RecordedSample>& samples)
{
    std::uint32_t bytes = 0;
    for (const auto& s : samples) bytes += static_cast<std::uint32_t>(s.data.size());
    std::ofstream out(path, std::ios::binary);
    out.write("RIFF", 4);
    put32(out, 4 + 8 + 16 + 8 + bytes);
    out.write("WAVEfmt ", 8);
    put32(out, 16);
    out.write(reinterpret_cast<const char*>(&format), 16);
    out.write("data", 4);
    put32(out, bytes);
    for (const auto& s : samples) out.write(reinterpret_cast<const char*>(s.data.data()), static_cast<std::streamsize>(s.data.size()));
    return static_cast<bool>(out);
}

}

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: mossveil_dump MOVIE OUT   (writes OUT.png and OUT.wav)\n");
        return 2;
    }
    const std::string out = argv[2];
    ComPtr<MossveilSourceFilter> source(new MossveilSourceFilter());
    if (FAILED(source->Load(plat::utf8_to_utf16(argv[1]).c_str(), nullptr))) {
        std::fprintf(stderr, "mossveil_dump: %s is not a movie the QT Source reads\n", argv[1]);
        return 1;
    }
    ComPtr<plat::FilterGraph> graph(new plat::FilterGraph());
    graph->AddFilter(source.get(), u"QT Source");
    ComPtr<plat::RecordingSink> video, audio;
    CMediaType video_type, audio_type;
    if (IPin* pin = find_pin(source.get(), u"Video")) {
        video_type = top_down_rgb32(pin);
        video = ComPtr<plat::RecordingSink>(new plat::RecordingSink());
        graph->AddFilter(video.get(), u"Video Sink");
        if (FAILED(graph->ConnectDirect(pin, video->input(), &video_type))) return 1;
    }
    if (IPin* pin = find_pin(source.get(), u"Audio")) {
        audio = ComPtr<plat::RecordingSink>(new plat::RecordingSink());
        graph->AddFilter(audio.get(), u"Audio Sink");
        if (FAILED(graph->ConnectDirect(pin, audio->input(), nullptr))) return 1;
        pin->ConnectionMediaType(&audio_type);
    }
    LONG code = 0;
    if (FAILED(graph->Run()) || FAILED(graph->WaitForCompletion(600000, &code)) || code != EC_COMPLETE) {
        std::fprintf(stderr, "mossveil_dump: the movie did not play to its end\n");
        graph->Stop();
        return 1;
    }
    graph->Stop();
    int status = 0;
    if (video) {
        const auto frames = video->samples();
        std::printf("Video: %zu frames\n", frames.size());
        if (frames.empty() || !write_png(out + ".png", frames.front(), video_type)) status = 1;
    }
    if (audio) {
        const auto& format = *reinterpret_cast<const WAVEFORMATEX*>(audio_type.Format());
        std::printf("Audio: %u Hz, %u channels, %u bits, %.3f s\n", format.nSamplesPerSec, format.nChannels,
                    format.wBitsPerSample, static_cast<double>(audio->byte_count()) / format.nAvgBytesPerSec);
        if (!write_wav(out + ".wav", format, audio->samples())) status = 1;
    }
    return status;
}
