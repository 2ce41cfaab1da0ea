#pragma once
// The compose demo: a clip played by the video engine on a headless device the
// way the program shows it. The engine hands its video renderer to a small
// layer of the demo, which attaches a CVideoSourceVMR9; the compose server
// draws the source's texture each time a frame was presented. A clip without
// pictures shows the visualisation of its sound instead.

#include "platform/base/Geometry.h"
#include "platform/base/Types.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct ComposeDemoReport {
    bool complete{false};      // the clip played to its end
    bool video{false};         // the engine handed a video renderer over
    int presented{0};          // frames the renderer presented into the source
    int drawn{0};              // frames the compose thread drew the picture in
    int changed{0};            // of those, frames whose picture differed from the frame before
    double playing_cpu{0};     // the compose thread's CPU time over the wall time, while playing
    double idle_cpu{0};        // the same for a second after the clip was closed
    RECT picture{0, 0, 0, 0};  // where the picture lies in the frame
};

class ComposeDemo {
public:
    // A back buffer of width x height; the sound goes to the silent output
    // that keeps real time, so the clip plays at its pace with no card.
    ComposeDemo(UINT width, UINT height);
    ~ComposeDemo();
    ComposeDemo(const ComposeDemo&) = delete;
    ComposeDemo& operator=(const ComposeDemo&) = delete;

    // Plays clip to its end (or to a failure, or for at most timeout_ms), then
    // closes it and lets the compose thread idle for a second. The filters and
    // the effects must be registered, as the installer does.
    ComposeDemoReport play(const std::string& clip, DWORD timeout_ms);

    // The frame as it stood when the clip ended: ARGB, row after row.
    const std::vector<std::uint32_t>& last_frame() const { return m_frame; }
    UINT width() const { return m_width; }
    UINT height() const { return m_height; }
    // Writes last_frame as PNG; on failure says why in error.
    bool save_png(const std::string& path, std::string& error) const;

private:
    struct Parts;

    UINT m_width;
    UINT m_height;
    std::vector<std::uint32_t> m_frame;
    std::unique_ptr<Parts> m_parts;
};
