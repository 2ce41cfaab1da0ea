// splitter_dump FILE [--parser flv|mkv|rm|mp4|m4v] [--seek S]
// Opens a file with one of the splitter's parsers, lists its output pins and
// their media types, then plays it to the end into recording sinks and prints
// one line per packet: pin, start, stop (100 ns), size and flags.

#include "platform/base/Guid.h"
#include "splitter/base/testing/ParserFilter.h"
#include "splitter/base/testing/SplitterGraph.h"
#include "splitter/flv/FlashParser.h"
#include "splitter/matroska/MatroskaParser.h"
#include "splitter/mp4/MP4Parser.h"
#include "splitter/mpeg4/MPEG4VideoParser.h"
#include "splitter/realmedia/RMParser.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

int usage()
{
    std::fprintf(stderr, "usage: splitter_dump FILE [--parser flv|mkv|rm|mp4|m4v] [--seek SECONDS]\n");
    return 2;
}

std::string parser_for(const std::string& path)
{
    const auto dot = path.rfind('.');
    const std::string ext = dot == std::string::npos ? "" : path.substr(dot + 1);
    if (ext == "mkv" || ext == "mka" || ext == "mks") return "mkv";
    if (ext == "rm" || ext == "rmvb" || ext == "ra") return "rm";
    if (ext == "m4v") return "m4v";
    if (ext == "mp4" || ext == "m4a" || ext == "mov") return "mp4";
    return "flv";
}

ParserFilter* make_filter(const std::string& parser)
{
    if (parser == "mkv") return ParserFilter::with<CMatroskaParser>();
    if (parser == "rm") return ParserFilter::with<CRMParser>();
    if (parser == "m4v") return ParserFilter::with<CMPEG4VideoParser>();
    if (parser == "mp4") return ParserFilter::with<CMP4Parser>();
    if (parser == "flv") return ParserFilter::with<CFlashParser>();
    return nullptr;
}

void print_type(const CMediaType& mt)
{
    std::printf("  major %s subtype %s format %s (%u bytes)\n", plat::format_guid(mt.majortype).c_str(),
                plat::format_guid(mt.subtype).c_str(), plat::format_guid(mt.formattype).c_str(), mt.FormatLength());
}

}

int main(int argc, char** argv)
{
    if (argc < 2) return usage();
    const std::string path = argv[1];
    std::string parser = parser_for(path);
    double seek = 0;
    for (int i = 2; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--parser") && i + 1 < argc) parser = argv[++i];
        else if (!std::strcmp(argv[i], "--seek") && i + 1 < argc) seek = std::atof(argv[++i]);
        else return usage();
    }
    ParserFilter* filter = make_filter(parser);
    if (!filter) return usage();
    SplitterGraph g;
    if (HRESULT hr = g.open(path, filter); FAILED(hr)) {
        std::fprintf(stderr, "%s: the %s parser refused it (0x%08X)\n", path.c_str(), parser.c_str(),
                     static_cast<unsigned>(hr));
        return 1;
    }
    for (int i = 0; i + 1 < g.splitter->GetPinCount(); ++i) {
        auto* pin = static_cast<CBaseSplitterOutputPin*>(g.splitter->GetPin(i));
        std::printf("pin %d: %s\n", i, plat::utf16_to_utf8(pin->Name()).c_str());
        CMediaType mt;
        for (int n = 0; pin->GetMediaType(n, &mt) == S_OK; ++n) print_type(mt);
    }
    if (seek > 0) {
        auto target = static_cast<REFERENCE_TIME>(seek * 1e7);
        g.graph->SetPositions(&target, AM_SEEKING_AbsolutePositioning, nullptr, 0);
    }
    const bool completed = g.run_to_end(600000);
    for (std::size_t i = 0; i < g.sinks.size(); ++i)
        for (const auto& s : g.sinks[i]->samples())
            std::printf("%zu %lld %lld %ld%s%s%s\n", i, static_cast<long long>(s.start), static_cast<long long>(s.stop),
                        static_cast<long>(s.length), s.sync ? " sync" : "", s.discontinuity ? " discontinuity" : "",
                        s.preroll ? " preroll" : "");
    g.graph->Stop();
    if (!completed) std::fprintf(stderr, "%s: did not play to the end\n", path.c_str());
    return completed ? 0 : 1;
}
