#pragma once
// The video play window's places, the events that move it between them, the
// animated values its position animations share, and their parameter block.

namespace UI {

enum videoposstatus { vpsCenter = 0, vpsCenter2RightTop = 1, vpsRightTop = 2, vpsRightTop2Center = 3 };

enum videoposevent { vpeToRightTop = 0, vpeToCenter = 1, vpeRightTopReached = 2, vpeCenterReached = 3 };

// Rules of a move's x and y: a distance from the right or bottom edge (2),
// from the left or top edge (1), or an absolute position (0).
inline constexpr int MoveAbsolute = 0;
inline constexpr int MoveFromNear = 1;
inline constexpr int MoveFromFar = 2;

struct moveparams {
    float target_width{0};
    float target_height{0};
    float x{0};
    float y{0};
    int x_rule{MoveAbsolute};
    int y_rule{MoveAbsolute};
};

// Every size here includes the 6 px frame on each side.
struct videogeometry {
    float target_height{0};
    float target_width{0};
    float current_height{-1.0f};   // the size the animations step
    float current_width{-1.0f};
    float aspect{4.0f / 3.0f};     // the video's width / height
    float shown_aspect{4.0f / 3.0f};   // what the layout uses now; follows aspect through the ratio animation
    float x{0};                    // the position the moves step (a distance from an edge by their rules)
    float y{0};
};

inline constexpr float VideoFrame = 12.0f;

// The window's width for a height, and its height for a width, at a ratio.
inline float WidthForHeight(float height, float ratio) { return (height - VideoFrame) * ratio + VideoFrame; }
inline float HeightForWidth(float width, float ratio) { return (width - VideoFrame) / ratio + VideoFrame; }

}
