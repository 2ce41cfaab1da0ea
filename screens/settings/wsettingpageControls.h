#pragma once
// The settings window's children, shared by its two source files. The
// widget tree owns every one of them; a null member is a control that was
// not made, which Revert and Apply skip.

#include "screens/settings/wsettingpage.h"
#include "toolkit/controls/wselectbtn.h"

#include <array>

namespace UI {

class wbtn;
class wprogress;
class wtext;

struct wsettingpage::Controls {
    std::array<wselectbtn*, 5> tabs{};   // the fifth pair is never made
    std::array<window*, 5> pages{};
    SelectGroup tab_group;
    wbtn* cancel{nullptr};
    wbtn* apply{nullptr};
    wbtn* download_browse{nullptr};
    wbtn* cache_browse{nullptr};
    wbtn* clean{nullptr};
    wtext* cache_folder{nullptr};
    wtext* cache_usage{nullptr};
    wtext* item_count{nullptr};
    wtext* interval{nullptr};
    wtext* download_folder{nullptr};
    wprogress* cache_bar{nullptr};
    wselectbtn* auto_run{nullptr};
    wselectbtn* full_screen{nullptr};
    wselectbtn* to_tray{nullptr};
    wselectbtn* accelerator{nullptr};
    wselectbtn* high_quality{nullptr};
    wselectbtn* enable_prefetch{nullptr};
    wselectbtn* favourites{nullptr};
};

}
