// Item descriptions are HTML from feeds: any markup the document accepts is
// laid out and painted by the view in bounded time and memory, and the
// element places it gives stay inside what it laid out.

#include "platform/html/HtmlTree.h"
#include "platform/html/HtmlView.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

// cairo keeps the fontconfig patterns of its toy faces for the life of the process.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto tree = plat::html::parse_document({reinterpret_cast<const char*>(data), size});
    if (!tree)
        return 0;
    plat::html::HtmlView view;
    view.load(*tree, "body{font-size:12px}");
    const int height = view.layout(613);
    if (height < 0)
        std::abort();
    std::vector<std::uint32_t> texels(std::size_t(634) * 133);
    view.paint(texels.data(), 634, 133, 634 * 4, 2, 2);
    view.element_rect("img", 0);
    return 0;
}
