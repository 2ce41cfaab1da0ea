// Item descriptions are HTML from feeds: any bytes parse or are refused in
// bounded time, and what parses writes out as markup that reads back to the
// same markup.

#include "platform/html/HtmlTree.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto tree = plat::html::parse_document({reinterpret_cast<const char*>(data), size});
    if (!tree)
        return 0;
    for (plat::html::Node* image : plat::html::elements_by_tag_name(*tree, "img"))
        image->set_attribute("src", "/local/1.jpg");
    const std::string once = plat::html::inner_html(*tree);
    auto again = plat::html::parse_document(once);
    if (!again)
        std::abort();
    plat::html::inner_html(*again);
    return 0;
}
