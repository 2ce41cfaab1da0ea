#pragma once
// A document tree laid out and painted by litehtml with cairo: what a
// browser control drawing a page into a texture becomes here. Styles come
// from our own master stylesheet, then the page's, then the caller's.
// Nothing in the page ever runs, and the view itself fetches nothing: it
// names the pictures the page shows, and the caller hands them in.

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plat {
struct DecodedImage;
}

namespace plat::html {

class Node;

struct ViewRect {
    int x{0};
    int y{0};
    int width{0};
    int height{0};
};

class HtmlView {
public:
    HtmlView();
    ~HtmlView();
    HtmlView(const HtmlView&) = delete;
    HtmlView& operator=(const HtmlView&) = delete;

    // Shows the document (a tree from parse_document: its depth is already
    // bounded) styled by author_css after the page's own styles; pictures
    // handed in before are dropped. Lay it out before asking for places.
    void load(const Node& document, std::string_view author_css);
    // Lays the document out at width; its height (the scroll height), 0 with no document.
    int layout(int width);
    int height() const;
    // The content box of the index-th element named tag (lower case) in
    // document order, in document coordinates; none when there is none.
    std::optional<ViewRect> element_rect(std::string_view tag, std::size_t index) const;
    // The pictures the page asked for, as written in it, each once, in the order asked.
    const std::vector<std::string>& picture_sources() const;
    // A picture the page asked for arrived (premultiplied pixels); false when
    // it never asked for src. Lay out again: the picture may change sizes.
    bool set_picture(const std::string& src, const DecodedImage& picture);
    // Paints the laid-out document onto X8R8G8B8 texels (pitch in bytes)
    // with its top-left corner at (x, y), over the canvas colour (the root's or
    // the body's background) that fills the rest.
    void paint(void* texels, int width, int height, int pitch, int x, int y) const;

private:
    class Container;
    std::unique_ptr<Container> m_container;
};

}
