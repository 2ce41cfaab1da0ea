#pragma once
// A button that tells of the pointer entering and leaving it
// ("moveactiobbtn_EnterLeave", value 1 on entry, 0 on leaving) while enabled.

#include "toolkit/controls/wbtn.h"

namespace UI {

class wmoveactionbtn : public wbtn {
public:
    explicit wmoveactionbtn(std::string name) : wbtn(std::move(name)) {}

    void OnMouseEnter() override;
    void OnMouseLeave() override;

private:
    void Tell(bool entered);
};

}
