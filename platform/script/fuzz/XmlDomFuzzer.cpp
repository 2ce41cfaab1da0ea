// Feeds reach the XML DOM as bytes from any server: the document is read as
// XMLHTTP's responseXML reads it (under a charset a server might name) and as
// loadXML reads a text, then every node is visited through what a script can
// ask of it (names, types, text, markup, attributes, children, XPath).

#include "platform/script/DukText.h"
#include "platform/script/WebObjects.h"

#include <duktape.h>
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {

void fatal(void*, const char*) { std::abort(); }

struct FreeHeap {
    void operator()(duk_context* ctx) const { duk_destroy_heap(ctx); }
};

// Visits at most `budget` nodes, also those XPath finds; script errors (a
// refused expression) are part of the game, faults are not.
constexpr const char* walk = R"(
var budget = 3000;
function visit(node, depth) {
    if (!node || depth > 60 || --budget < 0) return;
    var seen = node.nodeName + node.nodeType + node.baseName + node.namespaceURI + node.text + node.xml;
    node.getAttribute('url');
    node.getAttribute('media:url');
    var children = node.childNodes;
    for (var i = 0; i < children.length; ++i) visit(children.item(i), depth + 1);
}
function visitAll(doc) {
    visit(doc.documentElement, 0);
    doc.setProperty('SelectionNamespaces', "xmlns:media='http://search.yahoo.com/mrss/' xmlns:a='http://www.w3.org/2005/Atom'");
    var queries = ['/', '/*', '//*', '//@*', '//namespace::*', '//text()', '//node()', '/*/..', '//comment()',
                   '//processing-instruction()', '//media:content', '//a:entry', 'ancestor-or-self::node()'];
    for (var q = 0; q < queries.length; ++q) {
        try {
            var found = doc.selectNodes(queries[q]);
            for (var i = 0; i < found.length; ++i) visit(found.item(i), 50);
            visit(doc.selectSingleNode(queries[q]), 50);
            if (doc.documentElement) doc.documentElement.selectNodes(queries[q]);
        } catch (e) {}
    }
}
visitAll(received);
loaded.loadXML(text);
visitAll(loaded);
)";

}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    const char* charset = input.PickValueInArray({"", "utf-8", "ISO-8859-1", "UTF-16", "windows-1252", "Shift_JIS", "no-such-set"});
    const std::string bytes = input.ConsumeRemainingBytesAsString();

    std::unique_ptr<duk_context, FreeHeap> heap(duk_create_heap(nullptr, nullptr, nullptr, nullptr, fatal));
    duk_context* ctx = heap.get();
    if (plat::push_xml_document_from(ctx, bytes, charset).number != 0) return 0;
    duk_put_global_string(ctx, "received");
    plat::push_xml_document(ctx);
    duk_put_global_string(ctx, "loaded");
    plat::push_utf8(ctx, bytes);
    duk_put_global_string(ctx, "text");
    duk_peval_string_noresult(ctx, walk);
    return 0;
}
