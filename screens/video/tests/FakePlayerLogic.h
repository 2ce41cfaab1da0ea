#pragma once
// Stands in for the controller: records what the screens ask of it.

#include "screens/video/uiPlayerLogic.h"

#include <vector>

namespace test {

struct FakePlayerLogic : UI::uiPlayerLogic {
    std::vector<int> ui_commands;
    std::vector<int> logic_commands;
    std::vector<int> volumes_set;
    std::vector<int> seeks;
    std::vector<int> view_states;
    std::vector<bool> favorites;
    std::vector<bool> paging;
    std::vector<int> warning_pages;
    int volume{40};
    bool full_screen{false};

    void PostUICommand(int command) override { ui_commands.push_back(command); }
    void PostLogicCommand(int command) override { logic_commands.push_back(command); }
    int GetVolume() override { return volume; }
    void SetVolume(int v) override
    {
        volumes_set.push_back(v);
        volume = v;
    }
    void Seek(int seconds) override { seeks.push_back(seconds); }
    void SetVideoViewState(int state) override { view_states.push_back(state); }
    bool IsFullScreenVideo() override { return full_screen; }
    void SetPlayingItemFavorite(bool favorite) override { favorites.push_back(favorite); }
    void ShowPagingControls(bool show) override { paging.push_back(show); }
    void ShowWarningPage(int page) override { warning_pages.push_back(page); }
};

}
