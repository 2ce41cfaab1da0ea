// The root of the channel tree ("wtree-rss"): a node whose children are the
// folders, drawn on the tree window's background, which grows with them.
// It is never clicked itself and starts open and selected, so the first
// folder clicked takes the highlight at once.
#pragma once

#include "screens/tree/wrsstreenode.h"

namespace UI {

class wimage;

class wrsstree : public wrsstreenode {
public:
    explicit wrsstree(std::string name);

    // Folders from the top, each as wide as the tree; the background reaches 62 px below the last.
    void LayoutNodes() override;
    // Any node's height changed: the folders stack again.
    bool OnSizeChange(EventArgs& e) override;
    void OnSizeChanged() override;

private:
    wimage* m_background;   // a child
};

}
