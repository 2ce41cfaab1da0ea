// How each skin file looks: its size and the drawing that fills it. The
// generator asks for the files the UI tables name; a file without a recipe
// here is an error, so a new table entry cannot slip by undrawn.
#pragma once

#include <functional>
#include <string_view>

typedef struct _cairo cairo_t;

namespace skin {

enum class ButtonState { Normal, Highlight, Pressed, Disabled };

struct Recipe {
    std::string_view file;
    int width;    // of one state for a strip
    int height;
    std::function<void(cairo_t*, double width, double height, ButtonState)> draw;
};

// The recipe for a file name, or null.
const Recipe* find_recipe(std::string_view file);

}
