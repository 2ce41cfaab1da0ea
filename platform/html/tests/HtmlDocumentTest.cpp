#include "platform/html/HtmlInterfaces.h"

#include "platform/automation/testing/AutomationTesting.h"
#include "platform/com/Com.h"
#include "platform/com/ComPtr.h"
#include "platform/net/testing/LoopbackServer.h"
#include "platform/script/testing/ModuleTesting.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>

namespace {

class HtmlDocumentTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(CoInitialize(nullptr), S_OK);
        ASSERT_TRUE(plat::register_modules(STRIMO_REGSVR, {HTML_MODULE}));
        ASSERT_EQ(CoCreateInstance(CLSID_HTMLDocument, nullptr, 23, IID_IHTMLDocument2, m_document.put_void()), S_OK);
    }
    void TearDown() override
    {
        m_document = {};
        CoUninitialize();
    }

    HRESULT write(const std::string& html)
    {
        SAFEARRAY* texts = SafeArrayCreateVector(VT_VARIANT, 0, 1);
        VARIANT* elements = nullptr;
        SafeArrayAccessData(texts, reinterpret_cast<void**>(&elements));
        elements[0] = plat::bstr_variant(html);
        SafeArrayUnaccessData(texts);
        HRESULT hr = m_document->write(texts);
        SafeArrayDestroy(texts);
        return hr;
    }

    std::string body_html()
    {
        plat::ComPtr<IHTMLElement> body;
        EXPECT_EQ(m_document->get_body(body.put()), S_OK);
        plat::Bstr html;
        EXPECT_EQ(body->get_innerHTML(html.out()), S_OK);
        return html.utf8();
    }

    plat::ComPtr<IHTMLElementCollection> images()
    {
        auto document3 = m_document.as<IHTMLDocument3>();
        plat::ComPtr<IHTMLElementCollection> found;
        EXPECT_EQ(document3->getElementsByTagName(plat::Bstr(u"IMG").get(), found.put()), S_OK);
        return found;
    }

    plat::TemporaryRegistry m_registry;
    plat::ComPtr<IHTMLDocument2> m_document;
};

}

TEST_F(HtmlDocumentTest, PicturesAreRewrittenThroughTheWalkedElements)
{
    // The second picture's id is taken already: the walk must not look it up again.
    ASSERT_EQ(write("<p>Clip</p><img src=\"http://a/1.jpg\"><img id=\"imgid_0\" src=\"http://a/2.png?s=2\">"), S_OK);
    auto found = images();
    LONG length = 0;
    ASSERT_EQ(found->get_length(&length), S_OK);
    ASSERT_EQ(length, 2);
    for (LONG i = 0; i < length; ++i) {
        plat::ComPtr<IDispatch> item;
        VARIANT none;
        VariantInit(&none);
        ASSERT_EQ(found->item(plat::long_variant(i), none, item.put()), S_OK);
        auto image = item.as<IHTMLImgElement>();
        auto element = item.as<IHTMLElement>();
        ASSERT_TRUE(image && element);
        plat::Bstr src;
        ASSERT_EQ(image->get_src(src.out()), S_OK);
        EXPECT_EQ(src.utf8(), i == 0 ? "http://a/1.jpg" : "http://a/2.png?s=2");
        ASSERT_EQ(element->put_id(plat::Bstr::from_utf8("imgid_" + std::to_string(i)).get()), S_OK);
        ASSERT_EQ(image->put_src(plat::Bstr::from_utf8("/pics/" + std::to_string(i) + ".jpg").get()), S_OK);
    }
    EXPECT_EQ(body_html(), "<p>Clip</p><img src=\"/pics/0.jpg\" id=\"imgid_0\"><img id=\"imgid_1\" src=\"/pics/1.jpg\">");
}

TEST_F(HtmlDocumentTest, LooksUpElementsByIdAndName)
{
    ASSERT_EQ(write("<img name=\"n\" src=\"1\"><img id=\"n\" src=\"2\"><p id=\"x\">t</p>"), S_OK);
    plat::ComPtr<IHTMLElement> p;
    ASSERT_EQ(m_document.as<IHTMLDocument3>()->getElementById(plat::Bstr(u"x").get(), p.put()), S_OK);
    plat::Bstr inner;
    ASSERT_EQ(p->get_innerHTML(inner.out()), S_OK);
    EXPECT_EQ(inner.utf8(), "t");
    EXPECT_FALSE(p.as<IHTMLImgElement>());   // only img elements are pictures

    plat::ComPtr<IHTMLElement> missing;
    EXPECT_EQ(m_document.as<IHTMLDocument3>()->getElementById(plat::Bstr(u"none").get(), missing.put()), S_OK);
    EXPECT_FALSE(missing);

    VARIANT name = plat::bstr_variant("n");
    plat::ComPtr<IDispatch> second;
    ASSERT_EQ(images()->item(name, plat::long_variant(1), second.put()), S_OK);
    plat::Bstr src;
    second.as<IHTMLImgElement>()->get_src(src.out());
    EXPECT_EQ(src.utf8(), "2");
    VariantClear(&name);
}

TEST_F(HtmlDocumentTest, WritesAppendAndElementsOutliveARewrite)
{
    ASSERT_EQ(write("<p>one"), S_OK);
    plat::ComPtr<IHTMLElement> old_body;
    ASSERT_EQ(m_document->get_body(old_body.put()), S_OK);
    ASSERT_EQ(write(" two</p>"), S_OK);
    EXPECT_EQ(body_html(), "<p>one two</p>");
    plat::Bstr old_html;
    ASSERT_EQ(old_body->get_innerHTML(old_html.out()), S_OK);
    EXPECT_EQ(old_html.utf8(), "<p>one</p>");
}

TEST_F(HtmlDocumentTest, RefusedMarkupLeavesTheDocumentAsItWas)
{
    ASSERT_EQ(write("<p>kept</p>"), S_OK);
    std::string deep;
    for (int i = 0; i < 5000; ++i)
        deep += "<div>";
    EXPECT_EQ(write(deep), E_INVALIDARG);
    EXPECT_EQ(body_html(), "<p>kept</p>");
    EXPECT_EQ(m_document->write(nullptr), E_INVALIDARG);
}

TEST_F(HtmlDocumentTest, NothingIsFetchedOrRun)
{
    plat::LoopbackServer<> server;
    std::atomic<int> requests{0};
    server.server.Get(".*", [&](const httplib::Request&, httplib::Response& res) {
        ++requests;
        res.set_content("x", "text/plain");
    });
    server.start();
    const std::string page = "<img src=\"" + server.url("/a.jpg") + "\"><script src=\"" + server.url("/s.js") +
                             "\"></script><link rel=stylesheet href=\"" + server.url("/c.css") +
                             "\"><iframe src=\"" + server.url("/f") + "\"></iframe><script>document.write('x')</script>";
    ASSERT_EQ(write(page), S_OK);
    body_html();
    EXPECT_EQ(requests.load(), 0);
}
