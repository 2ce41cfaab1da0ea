#pragma once
// The download pane's list: rows of downloaded and downloading videos. The
// selected row that is not finished carries the list's play mark (its
// download stands) or pause mark (it runs). The marks are the rows' resume
// and pause buttons: a press fires "button_clicked" on the mark.

#include "toolkit/genericlist/wtlist.h"

namespace UI {

class wdownloadlistitem;
class wimage;

class wdownloadlist : public wtlist {
public:
    explicit wdownloadlist(std::string name);
    ~wdownloadlist() override;

    // Gives the row its mark while selected, takes it back otherwise.
    void LendMark(wdownloadlistitem& row, bool selected);
    wimage* PlayMark() const { return m_play; }
    wimage* PauseMark() const { return m_pause; }

private:
    void TakeBack(wimage* mark);

    wimage* m_play;    // owned while no row holds it
    wimage* m_pause;
};

}
