// A block of running text and pictures that wraps into lines of a set width,
// for the hint and warning pages. Each piece of text becomes a text widget
// on the current line; a text longer than the room left is cut after its
// last blank that fits (or before the first character that does not) and the
// rest goes on the next line. Lines that would start below the maximum
// height are dropped.
#pragma once

#include "toolkit/widgets/window.h"

#include <string_view>
#include <vector>

namespace UI {

class wimage;
class wtext;

class wcontainer : public window {
public:
    explicit wcontainer(std::string name);

    // The wrapping width of the container and of every line.
    void SetLineWidth(float width);
    // Text in the font and colour at the current place, wrapping as needed.
    // Every line takes at least one character, so any width ends.
    void AddText(std::u16string_view text, const std::string& font, fcolor colour);
    // A picture in the line, or at the start of a new one when it does not fit.
    void AddImage(const std::string& picture);
    // 0: no limit.
    void SetMaxHeight(float height) { m_template.max_height = height; }

    const std::vector<wtext*>& GetTexts() const { return m_texts; }

private:
    struct Line {
        float max_height{100};   // of the running total; 0 means no limit
        float x{0};
        float y{0};
        float height{16};
        bool wrapped{false};
    };

    // The line new content goes on; null when the maximum height is passed.
    Line* MakeRoom();
    // How many units of text fit in room (at least one), cut after the last blank when there is one.
    static std::size_t FittingLength(std::u16string_view text, const std::string& font, float room);

    std::vector<Line> m_lines;
    std::vector<wtext*> m_texts;   // children
    float m_total_height{0};
    float m_line_spacing{2};
    float m_line_width{0};
    Line m_template;
};

}
