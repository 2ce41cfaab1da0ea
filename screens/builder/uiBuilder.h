// Builds the main window's whole widget tree in code, once, at start-up:
// the root, the UI root, the video play window under the client window,
// then each region of the window in a fixed order (frames, channel tree,
// feed list and paging, search box, bottom buttons, loading page, control
// bar, empty-content notice, drag window, right pane), the title window
// and the tooltip. Widgets other code finds again are
// registered under their skin names and UI ids (UIIds.h).
//
// The build runs on the UI thread under UIRenderMutex, so the compose
// thread sees no tree or the whole tree. The builder owns the tree and
// hands its parts to the UI manager.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace UI {

class widget;
class window;
class wselectbtn;
struct focusgroup;

class uiBuilder {
public:
    // Registers itself as the singleton.
    uiBuilder();
    // Takes its parts back from the UI manager, then frees the tree.
    ~uiBuilder();
    uiBuilder(const uiBuilder&) = delete;
    uiBuilder& operator=(const uiBuilder&) = delete;

    static void RegisterSingleton(uiBuilder* builder);
    static void ClearSingleton();
    // Null before one is made and after it goes.
    static uiBuilder* Instance();
    static uiBuilder* Current() { return Instance(); }

    // The controller's page-button count, before the build (20 unless set; 0 to 100).
    void SetPageButtonCount(int count);
    // Once, on the UI thread, after the settings and the resource manager exist. True.
    bool BuildUI();

    // The control bar region on its own, under UIRenderMutex, once the tree
    // stands: a bar for the UI manager when it holds none (the player
    // interface asks for it through IBaseUIPlay::CreateControlBar).
    void CreateControlBar();

    // The page-select buttons in creation order.
    const std::vector<wselectbtn*>& GetPageButtons() const { return m_page_buttons; }

private:
    using Region = void (uiBuilder::*)();

    void BuildRoots();
    void BuildSettingWindow();
    void BuildFrames();
    void BuildTitleButtons(window& top);
    void BuildFeedTree();
    void BuildFeedList();
    void BuildPaging();
    void BuildSearchBox();
    void BuildSettingButton();
    void BuildOperationBars();
    void BuildLoadingPage();
    void BuildControlBar();
    void BuildEmptyPrompt();
    void BuildDragWindow();
    void BuildRightPane();

    // Before the tree: its members leave the group as they are freed.
    std::unique_ptr<focusgroup> m_focus_group;
    std::unique_ptr<window> m_root;
    std::unique_ptr<window> m_title;
    std::vector<wselectbtn*> m_page_buttons;   // children of the paging window
    int m_page_button_count{20};

    // Filled by the build for the regions: the UI root, the client window
    // and the frames, and the frame sizes from the settings.
    window* m_ui_root{nullptr};
    window* m_client{nullptr};
    window* m_top{nullptr};
    window* m_bottom{nullptr};
    widget* m_control_bar{nullptr};   // null when the manager held one before the build
    float m_top_height{0};
    float m_bottom_height{0};
    float m_left_width{0};
    float m_right_width{0};
};

}
