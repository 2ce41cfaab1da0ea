// compose_demo CLIP OUT.png: plays CLIP through the video engine, the video
// renderer, the video source and the compose server on a headless device, and
// saves the frame as it stood at the clip's end. A clip without pictures shows
// the visualisation of its sound. Prints what was drawn and the compose
// thread's CPU share while playing and idle. The filters and the effects must
// be registered (scripts/run does it, as the installer would). Exit status 0
// once the clip played to its end and the picture was saved.

#include "playback/compose/demo/ComposeDemo.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: compose_demo CLIP OUT.png\n");
        return 2;
    }
    ComposeDemo demo(640, 360);
    const ComposeDemoReport report = demo.play(argv[1], 120000);
    std::printf("%s: %s; %d frames presented, %d drawn, %d of them changed\n", argv[1],
                !report.complete ? "did not play to its end" : report.video ? "video" : "visualisation",
                report.presented, report.drawn, report.changed);
    std::printf("compose thread CPU: %.1f%% while playing, %.1f%% idle\n", report.playing_cpu * 100,
                report.idle_cpu * 100);
    std::string error;
    if (!demo.save_png(argv[2], error)) {
        std::fprintf(stderr, "compose_demo: %s: %s\n", argv[2], error.c_str());
        return 1;
    }
    return report.complete ? 0 : 1;
}
