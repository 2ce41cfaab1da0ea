#pragma once
// A slider that shows itself while the pointer is over it and hides when it leaves.

#include "toolkit/controls/wsliderbar.h"

namespace UI {

class wmoveactionsliderbar : public wsliderbar {
public:
    explicit wmoveactionsliderbar(std::string name) : wsliderbar(std::move(name)) {}

    void OnMouseEnter() override;
    void OnMouseLeave() override;
};

}
