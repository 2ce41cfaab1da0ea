#include "platform/html/HtmlDocument.h"
#include "platform/html/testing/PageTesting.h"

#include <gtest/gtest.h>

namespace {

TEST(Selector, FindsTheFirstMatchInDocumentOrder)
{
    auto document = plat::html::load_page(
        "<div id=outer><p id=p1 class='a b'>1</p><span id=s><a id=a1 class=rss href=x>x</a></span></div>"
        "<div id=strimo_rssfetcher><a id=a2 class='big rss'>y</a></div><p id=p2 class=b>2</p>",
        "http://www.youtube.com/");
    ASSERT_TRUE(document);
    const struct {
        const char* selector;
        const char* id;   // null: nothing matches
    } cases[] = {
        {"a", "a1"},
        {"#strimo_rssfetcher a", "a2"},
        {"div#strimo_rssfetcher a.rss", "a2"},
        {"  #outer   span   a  ", "a1"},
        {".b", "p1"},
        {"p.b.a", "p1"},
        {"P#p2", "p2"},
        {"a.big", "a2"},
        {"#outer #a2", nullptr},
        {"span p", nullptr},
        {"a:hover", nullptr},
        {"div > a", nullptr},
        {"*", nullptr},
        {"", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.selector);
        const plat::ComPtr<IHTMLElement> found = document->first_element_matching(c.selector);
        ASSERT_EQ(static_cast<bool>(found), c.id != nullptr);
        if (!found)
            continue;
        plat::Bstr id;
        ASSERT_EQ(found->get_id(id.out()), S_OK);
        EXPECT_EQ(id.utf8(), c.id);
    }
}

}
