#include "platform/html/HtmlDocument.h"
#include "platform/html/testing/PageTesting.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A page loaded from an address, changed through its elements.
class HtmlEditing : public testing::Test {
protected:
    void load(const std::string& html, const std::string& url = "http://www.youtube.com/browse?c=10")
    {
        m_document = plat::html::load_page(html, url);
        ASSERT_TRUE(m_document);
    }

    plat::ComPtr<IHTMLElement> element(const char* id)
    {
        plat::ComPtr<IHTMLElement> found;
        EXPECT_EQ(m_document->getElementById(plat::Bstr::from_utf8(id).get(), found.put()), S_OK);
        EXPECT_TRUE(found) << id;
        return found;
    }

    std::string body_html()
    {
        plat::ComPtr<IHTMLElement> body;
        EXPECT_EQ(m_document->get_body(body.put()), S_OK);
        return html_of(body);
    }

    static std::string html_of(const plat::ComPtr<IHTMLElement>& e)
    {
        plat::Bstr html;
        EXPECT_EQ(e->get_innerHTML(html.out()), S_OK);
        return html.utf8();
    }

    static HRESULT insert(const plat::ComPtr<IHTMLElement>& e, const char* where, const std::string& html)
    {
        return e->insertAdjacentHTML(plat::Bstr::from_utf8(where).get(), plat::Bstr::from_utf8(html).get());
    }

    plat::ComPtr<plat::html::HtmlDocument> m_document;
};

const char* const page = "<div id=\"d\"><p id=\"p\">x</p></div><ul id=\"u\"><li id=\"l\">1</li></ul>";

TEST_F(HtmlEditing, InsertsAtEachOfTheFourPlacesOfSeveralTargets)
{
    const struct {
        const char* target;
        const char* where;
        std::string markup;
        std::string body;
    } cases[] = {
        {"p", "beforeBegin", "<b>n</b>", "<div id=\"d\"><b>n</b><p id=\"p\">x</p></div><ul id=\"u\"><li id=\"l\">1</li></ul>"},
        {"p", "afterBegin", "<b>n</b>", "<div id=\"d\"><p id=\"p\"><b>n</b>x</p></div><ul id=\"u\"><li id=\"l\">1</li></ul>"},
        {"p", "beforeEnd", "<b>n</b>", "<div id=\"d\"><p id=\"p\">x<b>n</b></p></div><ul id=\"u\"><li id=\"l\">1</li></ul>"},
        {"p", "AFTEREND", "<b>n</b>", "<div id=\"d\"><p id=\"p\">x</p><b>n</b></div><ul id=\"u\"><li id=\"l\">1</li></ul>"},
        {"d", "beforeBegin", "t<i>n</i>", "t<i>n</i><div id=\"d\"><p id=\"p\">x</p></div><ul id=\"u\"><li id=\"l\">1</li></ul>"},
        {"d", "afterEnd", "<hr>", "<div id=\"d\"><p id=\"p\">x</p></div><hr><ul id=\"u\"><li id=\"l\">1</li></ul>"},
        {"l", "afterEnd", "<li>2</li>", "<div id=\"d\"><p id=\"p\">x</p></div><ul id=\"u\"><li id=\"l\">1</li><li>2</li></ul>"},
        {"u", "afterBegin", "<li>0</li>", "<div id=\"d\"><p id=\"p\">x</p></div><ul id=\"u\"><li>0</li><li id=\"l\">1</li></ul>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.target) + " " + c.where);
        load(page);
        ASSERT_EQ(insert(element(c.target), c.where, c.markup), S_OK);
        EXPECT_EQ(body_html(), c.body);
    }
}

TEST_F(HtmlEditing, RefusesUnknownPlacesAndPlacesOutsideTheTree)
{
    load(page);
    EXPECT_EQ(insert(element("p"), "middle", "<b>n</b>"), E_INVALIDARG);
    plat::ComPtr<IHTMLDOMNode> body, root;
    ASSERT_EQ(element("d").as<IHTMLDOMNode>()->get_parentNode(body.put()), S_OK);
    ASSERT_EQ(body->get_parentNode(root.put()), S_OK);
    EXPECT_EQ(insert(root.as<IHTMLElement>(), "beforeBegin", "<b>n</b>"), E_FAIL);
    std::string deep;
    for (int i = 0; i < 5000; ++i)
        deep += "<div>";
    EXPECT_EQ(insert(element("p"), "afterBegin", deep), E_INVALIDARG);
    EXPECT_EQ(body_html(), page);
}

TEST_F(HtmlEditing, MarkupParsesInTheContextOfItsNewParent)
{
    load("<table><tbody id=\"rows\"><tr><td>1</td></tr></tbody></table><div id=\"d\"></div><p id=\"p\">a</p>");
    const std::string row = "<tr><td>2</td></tr>";
    ASSERT_EQ(insert(element("rows"), "beforeEnd", row), S_OK);
    EXPECT_EQ(html_of(element("rows")), "<tr><td>1</td></tr>" + row);
    // Outside a table the same markup keeps only its text.
    ASSERT_EQ(element("d")->put_innerHTML(plat::Bstr::from_utf8(row).get()), S_OK);
    EXPECT_EQ(html_of(element("d")), "2");
    // A p after a p is its sibling, not its child.
    ASSERT_EQ(insert(element("p"), "afterEnd", "<p>b</p>"), S_OK);
    EXPECT_EQ(body_html().substr(body_html().find("<p id")), "<p id=\"p\">a</p><p>b</p>");
}

TEST_F(HtmlEditing, RemovedAndReplacedNodesStayUsableOutsideTheTree)
{
    load("<div id=\"box\"><span id=\"s\">a</span><b id=\"b\">b</b></div><i id=\"other\"></i>");
    auto box = element("box").as<IHTMLDOMNode>();
    auto span = element("s");
    plat::ComPtr<IHTMLDOMNode> removed;
    ASSERT_EQ(box->removeChild(span.as<IHTMLDOMNode>().get(), removed.put()), S_OK);
    EXPECT_EQ(removed.get(), span.as<IHTMLDOMNode>().get());
    EXPECT_EQ(html_of(element("box")), "<b id=\"b\">b</b>");
    EXPECT_EQ(html_of(span), "a");
    plat::ComPtr<IHTMLDOMNode> no_parent;
    ASSERT_EQ(span.as<IHTMLDOMNode>()->get_parentNode(no_parent.put()), S_OK);
    EXPECT_FALSE(no_parent);

    EXPECT_EQ(box->removeChild(span.as<IHTMLDOMNode>().get(), removed.put()), E_INVALIDARG);
    EXPECT_EQ(box->removeChild(element("other").as<IHTMLDOMNode>().get(), removed.put()), E_INVALIDARG);
    EXPECT_EQ(box->removeChild(nullptr, removed.put()), E_INVALIDARG);

    auto bold = element("b");
    ASSERT_EQ(element("box")->put_innerHTML(plat::Bstr::from_utf8("<em>new</em>").get()), S_OK);
    EXPECT_EQ(html_of(bold), "b");
    EXPECT_EQ(html_of(element("box")), "<em>new</em>");
}

TEST_F(HtmlEditing, PreviousSiblingPassesOverBlankText)
{
    load("<div><span id=\"s\">a</span>\n   <b id=\"b\">b</b>text<i id=\"i\"></i></div>");
    plat::ComPtr<IHTMLDOMNode> before;
    ASSERT_EQ(element("b").as<IHTMLDOMNode>()->get_previousSibling(before.put()), S_OK);
    ASSERT_TRUE(before);
    EXPECT_EQ(html_of(before.as<IHTMLElement>()), "a");

    ASSERT_EQ(element("i").as<IHTMLDOMNode>()->get_previousSibling(before.put()), S_OK);
    ASSERT_TRUE(before);
    EXPECT_FALSE(before.as<IHTMLElement>());   // text is a node, not an element

    ASSERT_EQ(element("s").as<IHTMLDOMNode>()->get_previousSibling(before.put()), S_OK);
    EXPECT_FALSE(before);
}

TEST_F(HtmlEditing, HrefIsReadAgainstThePageAddress)
{
    const struct {
        std::string href;
        std::string read;
    } cases[] = {
        {"/rss/global/most_viewed.rss", "http://www.youtube.com/rss/global/most_viewed.rss"},
        {"feed.rss?x=1", "http://www.youtube.com/feed.rss?x=1"},
        {"//gdata.youtube.com/feeds/a", "http://gdata.youtube.com/feeds/a"},
        {"https://other.example/f", "https://other.example/f"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.href);
        load("<a id=\"a\" class=\"rsslink\" href=\"" + c.href + "\" title=\"/t\">f</a>");
        plat::Variant value;
        ASSERT_EQ(element("a")->getAttribute(plat::Bstr(u"HREF").get(), 0, value.get()), S_OK);
        ASSERT_EQ(value->vt, VT_BSTR);
        EXPECT_EQ(plat::bstr_to_utf8(value->bstrVal), c.read);
    }
    plat::Variant title, missing;
    ASSERT_EQ(element("a")->getAttribute(plat::Bstr(u"title").get(), 0, title.get()), S_OK);
    EXPECT_EQ(plat::bstr_to_utf8(title->bstrVal), "/t");   // only links are resolved
    ASSERT_EQ(element("a")->getAttribute(plat::Bstr(u"rel").get(), 0, missing.get()), S_OK);
    EXPECT_EQ(missing->vt, VT_NULL);
}

TEST_F(HtmlEditing, ClassNameAndInnerText)
{
    load("<h1 id=\"h\" class=\"hid big\">Top <b>Rated</b><script>var x = 1;</script><br>Today</h1>");
    plat::Bstr name, text;
    ASSERT_EQ(element("h")->get_className(name.out()), S_OK);
    EXPECT_EQ(name.utf8(), "hid big");
    ASSERT_EQ(element("h")->put_className(plat::Bstr(u"hid").get()), S_OK);
    ASSERT_EQ(element("h")->get_className(name.out()), S_OK);
    EXPECT_EQ(name.utf8(), "hid");
    ASSERT_EQ(element("h")->get_innerText(text.out()), S_OK);
    EXPECT_EQ(text.utf8(), "Top Rated\nToday");
}

}
