// The small translucent window that carries an item's thumbnail across the
// screen: each frame it moves a third of the way to its target and, on
// arrival, may hide itself and fire "Dragwindow_dragfinished".
#pragma once

#include "toolkit/widgets/window.h"

namespace UI {

class wdragwindow : public window {
public:
    explicit wdragwindow(std::string name);

    // The picture of that name, loaded from the file of that name when the
    // resource manager has none yet; the black default when neither gives a usable picture.
    void SetImage(const std::string& picture);
    void ShowDefaultImage();
    void SetTarget(int x, int y);
    // Hides on arrival; fires "Dragwindow_dragfinished" on arrival when fire is set.
    void GlideTo(int x, int y, bool fire);
    // While held the window stays where it is put (another animation moves it).
    void SetHeld(bool held) { m_held = held; }

    void Draw() override;

private:
    static int Approach(int from, int to);

    wimage* m_background;
    wimage* m_default_picture;
    wimage* m_item_picture;
    int m_target_x{0};
    int m_target_y{0};
    bool m_fire_on_arrival{false};
    bool m_hide_on_arrival{false};
    bool m_held{false};
};

}
