#pragma once
// The widgets that Tab and Shift+Tab move the keyboard focus between.

#include <vector>

namespace UI {

class widget;

struct focusgroup {
    std::vector<widget*> members;   // joining order
    widget* current{nullptr};
};

}
