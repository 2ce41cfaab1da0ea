// Vector glyphs of the skin's icons and buttons, each drawn into a box.
#pragma once

#include "skin/SkinPainter.h"

namespace skin {

enum class Glyph {
    None, Minimize, Maximize, Restore, Close, Tick, Dot, Play, Pause, Previous, Next, Forward, Backward,
    Fullscreen, Smallscreen, Star, Minus, Plus, Folder, Download, Speaker, SpeakerMuted, SpeakerOn,
    Magnifier, Screen, Player, Feed, Sliders, Clock, Cross, Warning, ArrowDown, ChevronRight, ChevronDoubleRight,
    PrefetchOff, PrefetchOn, PrefetchDone, Sync,
};

// Draws glyph centred in the box (x, y, w, h) in colour c.
void draw_glyph(cairo_t* cr, Glyph glyph, double x, double y, double w, double h, Rgb c);

}
