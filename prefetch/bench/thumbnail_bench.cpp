// thumbnail_bench [COUNT]
// The thumbnail rewrite of COUNT descriptions (parse, find the pictures, set
// each src, write the markup out) through our HTML document, against
// libxml2's HTML parser doing the same work in the same run.

#include "platform/automation/SafeArray.h"
#include "platform/html/HtmlDocument.h"
#include "platform/com/ComPtr.h"

#include <libxml/HTMLparser.h>
#include <libxml/HTMLtree.h>
#include <libxml/xpath.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::vector<std::string> make_descriptions(int count)
{
    std::vector<std::string> out;
    for (int i = 0; i < count; ++i) {
        std::string d = "<p>Episode " + std::to_string(i) + " &amp; friends: caf\xC3\xA9 &lt;live&gt;</p>";
        for (int p = 0; p < 4; ++p)
            d += "<div class=\"thumb\"><a href=\"http://site/watch?v=" + std::to_string(i * 4 + p) +
                 "\"><img src=\"http://pics.site/vi/" + std::to_string(i) + "/" + std::to_string(p) +
                 ".jpg\" width=\"120\" height=\"90\" alt=\"still\"></a><br>Part " + std::to_string(p) + "</div>";
        d += "<p>Tags: news, music, <b>clips</b></p>";
        out.push_back(d);
    }
    return out;
}

std::size_t ours(const std::string& html)
{
    auto document = plat::ComPtr<IHTMLDocument2>::adopt(new plat::html::HtmlDocument());
    SAFEARRAY* texts = SafeArrayCreateVector(VT_VARIANT, 0, 1);
    VARIANT* elements = nullptr;
    SafeArrayAccessData(texts, reinterpret_cast<void**>(&elements));
    elements[0].vt = VT_BSTR;
    elements[0].bstrVal = plat::Bstr::from_utf8(html).detach();
    SafeArrayUnaccessData(texts);
    document->write(texts);
    SafeArrayDestroy(texts);
    plat::ComPtr<IHTMLElementCollection> images;
    document.as<IHTMLDocument3>()->getElementsByTagName(plat::Bstr(u"IMG").get(), images.put());
    LONG count = 0;
    images->get_length(&count);
    for (LONG i = 0; i < count; ++i) {
        VARIANT none;
        VariantInit(&none);
        plat::ComPtr<IDispatch> found;
        images->item(plat::long_variant(i), none, found.put());
        found.as<IHTMLImgElement>()->put_src(plat::Bstr::from_utf8("/home/u/Image/" + std::to_string(i) + ".jpg").get());
    }
    plat::ComPtr<IHTMLElement> body;
    document->get_body(body.put());
    plat::Bstr markup;
    body->get_innerHTML(markup.out());
    return markup.length();
}

std::size_t libxml2(const std::string& html)
{
    htmlDocPtr doc = htmlReadMemory(html.data(), static_cast<int>(html.size()), nullptr, "UTF-8",
                                    HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET);
    xmlXPathContextPtr context = xmlXPathNewContext(doc);
    xmlXPathObjectPtr found = xmlXPathEvalExpression(reinterpret_cast<const xmlChar*>("//img"), context);
    const int count = found->nodesetval ? found->nodesetval->nodeNr : 0;
    for (int i = 0; i < count; ++i)
        xmlSetProp(found->nodesetval->nodeTab[i], reinterpret_cast<const xmlChar*>("src"),
                   reinterpret_cast<const xmlChar*>(("/home/u/Image/" + std::to_string(i) + ".jpg").c_str()));
    xmlChar* out = nullptr;
    int size = 0;
    htmlDocDumpMemory(doc, &out, &size);
    xmlFree(out);
    xmlXPathFreeObject(found);
    xmlXPathFreeContext(context);
    xmlFreeDoc(doc);
    return static_cast<std::size_t>(size);
}

template <class F>
double rate(const std::vector<std::string>& descriptions, F rewrite)
{
    std::size_t bytes = 0;
    const auto start = std::chrono::steady_clock::now();
    for (const std::string& d : descriptions)
        bytes += rewrite(d);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (bytes == 0)
        std::fprintf(stderr, "nothing written\n");
    return descriptions.size() / seconds;
}

}

int main(int argc, char** argv)
{
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10000;
    const std::vector<std::string> descriptions = make_descriptions(count);
    xmlInitParser();
    const double theirs = rate(descriptions, libxml2);
    const double mine = rate(descriptions, ours);
    std::printf("thumbnail rewrite of %d descriptions\n", count);
    std::printf("  ours (gumbo document): %10.0f descriptions/s\n", mine);
    std::printf("  libxml2 HTML parser:   %10.0f descriptions/s\n", theirs);
    std::printf("  ratio ours/libxml2:    %10.2f\n", mine / theirs);
    return 0;
}
