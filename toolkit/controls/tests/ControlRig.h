#pragma once
// Controls on the generated skin, drawing into a recording renderer, and a
// counter of fired events.

#include "toolkit/resmgr/tests/SkinRig.h"
#include "toolkit/widgets/tests/WidgetRig.h"

#include "toolkit/widgets/EventSet.h"

namespace test {

// Pictures of that source drawn, all or only those into a surface of its own.
inline int draws_of(const RecordingRender& render, const std::string& source, bool into_surface = false)
{
    int n = 0;
    for (const auto& op : render.ops)
        n += op.what == "picture" && op.source == source && (!into_surface || op.target != "screen");
    return n;
}

struct ControlScene {
    SkinRig skin;
    RecordingScene recording;
    RecordingRender& render() { return *recording.render; }
};

// Counts one named event and keeps the record's value (or selected state).
struct EventCounter {
    enum class Kind { Plain, Value, Select };
    Kind kind{Kind::Value};
    int fired{0};
    intptr_t last_value{0};
    int last_selected{-1};

    bool On(UI::EventArgs& args)
    {
        ++fired;
        if (kind == Kind::Value)
            last_value = static_cast<UI::ValueEventArgs&>(args).value;
        else if (kind == Kind::Select)
            last_selected = static_cast<UI::SelectEventArgs&>(args).selected;
        return false;
    }
    void Listen(UI::widget& w, const char* name, Kind what = Kind::Value)
    {
        kind = what;
        w.GetEvent(name, true)->Subscribe(&EventCounter::On, this);
    }
};

}
