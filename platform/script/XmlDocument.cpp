// The XML DOM stand-in over libxml2: loadXML with parseError, documentElement,
// selectNodes and selectSingleNode (XPath, with the prefixes of the
// "SelectionNamespaces" property), and on nodes text, nodeName, getAttribute
// and childNodes. Node objects keep their document alive.

#include "platform/base/HResult.h"
#include "platform/script/DukText.h"
#include "platform/script/WebObjects.h"

#include <duktape.h>
#include <libxml/HTMLparser.h>
#include <libxml/SAX2.h>
#include <libxml/entities.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace plat {

namespace {

// Hidden keys, as literals so that Duktape looks each one up once.
constexpr char document_key[] = "\xFF" "document";   // on a document object: its Document
constexpr char tree_key[] = "\xFF" "tree";           // on a document or node object: its tree object
constexpr char tree_data_key[] = "\xFF" "treeData";  // on a tree object: its Tree
constexpr char node_key[] = "\xFF" "node";           // on a node object: its xmlNode
constexpr char node_proto_key[] = "\xFF" "xmlNodePrototype";
constexpr char list_proto_key[] = "\xFF" "xmlNodeListPrototype";

struct FreeDoc {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};

// How forgiving a parse is: text given to loadXML is read strictly; a feed
// (responseXML) as publishers write them, with bare "&"s and an end fault.
enum class Leniency { None, Feed };

using Namespaces = std::vector<std::pair<std::string, std::string>>;   // prefix, URI for XPath

struct Document {
    std::shared_ptr<Namespaces> namespaces = std::make_shared<Namespaces>();
};

// One parsed tree, held by a tree object that its document object and every
// node object taken from it refer to: a node keeps its tree alive, so a later
// loadXML leaves it usable. Node objects carry no finalizer and own nothing,
// which keeps the many a script walks through cheap to make and to drop.
struct Tree {
    std::unique_ptr<xmlDoc, FreeDoc> doc;
    std::shared_ptr<const Namespaces> namespaces;   // the document's, as setProperty changes them
};

template <class T, std::size_t N>
T* hidden(duk_context* ctx, int index, const char (&key)[N])
{
    duk_get_prop_literal_raw(ctx, index, key, N - 1);
    auto* p = static_cast<T*>(duk_get_pointer(ctx, -1));
    duk_pop(ctx);
    return p;
}

void ignore_error(void*, xmlError*) {}

// The nodes a script may hold. libxml2 links other structures into the tree
// and into XPath's answers (the document, its type declaration, the entity
// declarations under entity references, namespaces) whose fields differ
// from a node's; they are never handed out.
bool is_dom_node(const xmlNode* node)
{
    switch (node->type) {
    case XML_ELEMENT_NODE:
    case XML_ATTRIBUTE_NODE:
    case XML_TEXT_NODE:
    case XML_CDATA_SECTION_NODE:
    case XML_ENTITY_REF_NODE:
    case XML_PI_NODE:
    case XML_COMMENT_NODE:
        return true;
    default:
        return false;
    }
}

// Pushes the prototype kept in the heap stash under key.
template <std::size_t N>
void push_prototype(duk_context* ctx, const char (&key)[N])
{
    duk_push_heap_stash(ctx);
    duk_get_prop_literal_raw(ctx, -1, key, N - 1);
    duk_remove(ctx, -2);
}

// Pushes a node object for node, of the tree object at tree_index, with the
// node prototype at proto_index.
void push_node(duk_context* ctx, xmlNode* node, int tree_index, int proto_index)
{
    tree_index = duk_normalize_index(ctx, tree_index);
    proto_index = duk_normalize_index(ctx, proto_index);
    duk_push_object(ctx);
    duk_dup(ctx, proto_index);
    duk_set_prototype(ctx, -2);
    duk_push_pointer(ctx, node);
    duk_put_prop_literal(ctx, -2, node_key);
    duk_dup(ctx, tree_index);
    duk_put_prop_literal(ctx, -2, tree_key);
}

void push_node(duk_context* ctx, xmlNode* node, int tree_index)
{
    tree_index = duk_normalize_index(ctx, tree_index);
    push_prototype(ctx, node_proto_key);
    push_node(ctx, node, tree_index, -1);
    duk_remove(ctx, -2);
}

duk_ret_t list_item(duk_context* ctx)
{
    duk_push_this(ctx);
    duk_get_prop_index(ctx, -1, static_cast<duk_uarridx_t>(duk_to_uint32(ctx, 0)));
    if (duk_is_undefined(ctx, -1)) {
        duk_pop(ctx);
        duk_push_null(ctx);
    }
    return 1;
}

// Pushes a node list (an array with item()) of nodes of the tree object at tree_index.
void push_list(duk_context* ctx, const std::vector<xmlNode*>& nodes, int tree_index)
{
    tree_index = duk_normalize_index(ctx, tree_index);
    push_prototype(ctx, node_proto_key);
    duk_push_array(ctx);
    push_prototype(ctx, list_proto_key);
    duk_set_prototype(ctx, -2);
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        push_node(ctx, nodes[i], tree_index, -2);
        duk_put_prop_index(ctx, -2, static_cast<duk_uarridx_t>(i));
    }
    duk_remove(ctx, -2);
}

// Pushes the tree object of `this`, a document or a node object, and returns
// its tree and the context node (the document itself for a document); a null
// tree when no document is loaded.
std::pair<Tree*, xmlNode*> push_this_tree(duk_context* ctx)
{
    duk_push_this(ctx);
    const bool is_document = hidden<Document>(ctx, -1, document_key) != nullptr;
    xmlNode* node = is_document ? nullptr : hidden<xmlNode>(ctx, -1, node_key);
    duk_get_prop_literal(ctx, -1, tree_key);
    duk_remove(ctx, -2);
    Tree* tree = duk_is_object(ctx, -1) ? hidden<Tree>(ctx, -1, tree_data_key) : nullptr;
    if (tree && is_document)
        node = reinterpret_cast<xmlNode*>(tree->doc.get());
    return {tree, node};
}

CallOutcome select_body(duk_context* ctx, bool single)
{
    const std::string expression = get_utf8(ctx, 0);
    auto [tree, node] = push_this_tree(ctx);
    if (!tree || !node)
        return CallOutcome::fail(E_UNEXPECTED, "XML DOM: no document is loaded");
    std::unique_ptr<xmlXPathContext, decltype(&xmlXPathFreeContext)> xpath{xmlXPathNewContext(tree->doc.get()),
                                                                          &xmlXPathFreeContext};
    if (!xpath)
        return CallOutcome::fail(E_OUTOFMEMORY, "XML DOM: no XPath context");
    xpath->node = node;
    xpath->error = ignore_error;
    for (const auto& [prefix, uri] : *tree->namespaces)
        xmlXPathRegisterNs(xpath.get(), BAD_CAST prefix.c_str(), BAD_CAST uri.c_str());
    std::unique_ptr<xmlXPathObject, decltype(&xmlXPathFreeObject)> result{
        xmlXPathEvalExpression(BAD_CAST expression.c_str(), xpath.get()), &xmlXPathFreeObject};
    if (!result || result->type != XPATH_NODESET)
        return CallOutcome::fail(E_FAIL, "XML DOM: not a node-set expression: " + expression);
    std::vector<xmlNode*> nodes;
    if (xmlNodeSet* set = result->nodesetval)
        for (int i = 0; i < set->nodeNr && !(single && !nodes.empty()); ++i)
            if (is_dom_node(set->nodeTab[i]))
                nodes.push_back(set->nodeTab[i]);
    if (single) {
        if (nodes.empty())
            duk_push_null(ctx);
        else
            push_node(ctx, nodes.front(), -1);
    } else {
        push_list(ctx, nodes, -1);
    }
    duk_remove(ctx, -2);
    return {1};
}

duk_ret_t select_nodes(duk_context* ctx) { return finish_call(ctx, select_body(ctx, false)); }
duk_ret_t select_single_node(duk_context* ctx) { return finish_call(ctx, select_body(ctx, true)); }

void set_parse_error(duk_context* ctx, int document_index, int code, const std::string& reason, int line)
{
    document_index = duk_normalize_index(ctx, document_index);
    duk_push_object(ctx);
    duk_push_int(ctx, code);
    duk_put_prop_string(ctx, -2, "errorCode");
    push_utf8(ctx, reason);
    duk_put_prop_string(ctx, -2, "reason");
    duk_push_int(ctx, line);
    duk_put_prop_string(ctx, -2, "line");
    duk_put_prop_string(ctx, document_index, "parseError");
}

// Feeds use HTML's named entities (&aacute;, &nbsp;, &hellip;) without
// declaring them. An entity the document does not declare is declared here,
// in the document's own subset, as HTML 4's character of that name; any other
// name stays as the text it was. Nothing is ever loaded from outside.
xmlEntity* get_entity(void* context, const xmlChar* name)
{
    if (xmlEntity* declared = xmlSAX2GetEntity(context, name))
        return declared;
    xmlDoc* doc = static_cast<xmlParserCtxt*>(context)->myDoc;
    if (!doc || (!doc->intSubset && !xmlCreateIntSubset(doc, nullptr, nullptr, nullptr)))
        return nullptr;
    const htmlEntityDesc* html = htmlEntityLookup(name);
    const std::string content = html ? "&#" + std::to_string(html->value) + ";"
                                     : "&amp;" + std::string(reinterpret_cast<const char*>(name)) + ";";
    return xmlAddDocEntity(doc, name, XML_INTERNAL_GENERAL_ENTITY, nullptr, nullptr, BAD_CAST content.c_str());
}

bool has_byte_order_mark(std::string_view bytes)
{
    return bytes.starts_with("\xEF\xBB\xBF") || bytes.starts_with("\xFE\xFF") || bytes.starts_with("\xFF\xFE");
}

// libxml2 reads the marks of UTF-8 and UTF-16 itself, but takes UTF-32LE's for
// UTF-16LE's and misses UTF-32BE's. A UTF-32 document is told by its mark, or
// by its first character, "<", written in four bytes.
struct Utf32Form {
    const char* charset;
    std::size_t mark;   // bytes of the byte-order mark, which the charset's reader would keep as text
};

std::optional<Utf32Form> utf32_form(std::string_view bytes)
{
    using namespace std::string_view_literals;
    static constexpr struct { std::string_view start; Utf32Form form; } forms[] = {
        {"\0\0\xFE\xFF"sv, {"UTF-32BE", 4}},
        {"\xFF\xFE\0\0"sv, {"UTF-32LE", 4}},
        {"\0\0\0<"sv, {"UTF-32BE", 0}},
        {"<\0\0\0"sv, {"UTF-32LE", 0}},
    };
    for (const auto& f : forms)
        if (bytes.starts_with(f.start))
            return f.form;
    return std::nullopt;
}

bool is_known_charset(const std::string& name)
{
    xmlCharEncodingHandler* handler = xmlFindCharEncodingHandler(name.c_str());
    if (!handler)
        return false;
    xmlCharEncCloseFunc(handler);   // frees a handler made over iconv; built-in ones stay
    return true;
}

bool equals_nocase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// The encoding an ASCII-compatible XML declaration names; "" when there is none.
std::string_view declared_encoding(std::string_view bytes)
{
    if (!bytes.starts_with("<?xml"))
        return {};
    const std::string_view declaration = bytes.substr(0, bytes.find("?>"));
    std::size_t at = declaration.find("encoding");
    if (at == std::string_view::npos)
        return {};
    at = declaration.find_first_of("\"'", at);
    if (at == std::string_view::npos)
        return {};
    const std::size_t end = declaration.find(declaration[at], at + 1);
    return end == std::string_view::npos ? std::string_view() : declaration.substr(at + 1, end - at - 1);
}

// The charset to read bytes in over what the document declares; "" to let the
// document speak for itself. Browsers read Latin-1 as Windows-1252, and feeds
// that say Latin-1 use its range 0x80-0x9F for quotes, dashes and the euro.
std::string charset_for(std::string_view bytes, std::string_view named)
{
    const std::string_view said = named.empty() ? declared_encoding(bytes) : named;
    const bool latin1 = equals_nocase(said, "ISO-8859-1") || equals_nocase(said, "ISO_8859-1") ||
                        equals_nocase(said, "latin1") || equals_nocase(said, "US-ASCII");
    const bool windows_range = std::any_of(bytes.begin(), bytes.end(), [](char c) {
        return static_cast<unsigned char>(c) >= 0x80 && static_cast<unsigned char>(c) <= 0x9F;
    });
    return latin1 && windows_range ? "WINDOWS-1252" : std::string(named);
}

struct FreeParser {
    void operator()(xmlParserCtxt* parser) const { xmlFreeParserCtxt(parser); }
};
using Parser = std::unique_ptr<xmlParserCtxt, FreeParser>;

// The first error that made a document not well-formed, and whether the
// parser had read all of the bytes when it came.
struct FirstFault {
    int code = 0;
    bool at_the_end = false;
};

void note_first_fault(void* context, xmlError* error)
{
    auto* parser = static_cast<xmlParserCtxt*>(context);
    auto* first = static_cast<FirstFault*>(parser->_private);
    if (!first || first->code != 0 || !error || error->level != XML_ERR_FATAL)
        return;
    first->code = error->code;
    first->at_the_end = parser->input && parser->input->cur >= parser->input->end;
}

// What one parse gave: the document (null when refused), the parser, which
// holds the last error, and the first fault.
struct Parsed {
    std::unique_ptr<xmlDoc, FreeDoc> doc;
    Parser parser;
    std::unique_ptr<FirstFault> first_fault;
};

Parsed read_document(std::string_view bytes, const char* encoding, int extra_options)
{
    Parsed result{nullptr, Parser(xmlNewParserCtxt()), std::make_unique<FirstFault>()};
    if (!result.parser)
        return result;
    result.parser->sax->getEntity = get_entity;
    result.parser->sax->serror = note_first_fault;
    result.parser->_private = result.first_fault.get();
    const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_NOCDATA |
                        (encoding ? XML_PARSE_IGNORE_ENC : 0) | extra_options;
    result.doc.reset(xmlCtxtReadMemory(result.parser.get(), bytes.data(), static_cast<int>(bytes.size()), nullptr,
                                       encoding, options));
    if (result.doc && !xmlDocGetRootElement(result.doc.get()))
        result.doc.reset();
    return result;
}

// A feed whose only fault is at its very end (the last closing tag without its
// ">", the closes of the channel and the root missing) is read as far as it
// goes; a feed cut inside an item, or broken anywhere else, is refused. Only
// the first fault counts: the parser goes on after it and reports the end of
// a broken feed as well.
constexpr int most_open_at_the_end = 2;

bool damaged_only_at_the_end(const FirstFault& first)
{
    return first.at_the_end && (first.code == XML_ERR_GT_REQUIRED || first.code == XML_ERR_TAG_NOT_FINISHED);
}

// The code units a document is written in, for reading its markup characters
// without decoding it: one byte in the charsets where every byte below 0x80 is
// ASCII, two or four in UTF-16 and UTF-32.
struct CodeUnits {
    std::size_t width = 1;
    bool big_endian = false;
};

bool names_charset(const std::string& name, std::initializer_list<std::string_view> parts)
{
    return std::any_of(parts.begin(), parts.end(), [&](std::string_view part) { return name.find(part) != name.npos; });
}

// Empty for a charset whose bytes below 0x80 need not be ASCII (ISO-2022,
// UTF-7, HZ, EBCDIC): its markup is not read before the parser decodes it.
std::optional<CodeUnits> code_units(std::string_view bytes, const char* encoding)
{
    std::string name(encoding ? std::string_view(encoding) : declared_encoding(bytes));
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::toupper(c); });
    if (!encoding) {
        if (bytes.starts_with("\xFE\xFF") || bytes.starts_with(std::string_view("\0<\0?", 4)))
            return CodeUnits{2, true};
        if (bytes.starts_with("\xFF\xFE") || bytes.starts_with(std::string_view("<\0?\0", 4)))
            return CodeUnits{2, false};
    }
    const bool little = name.ends_with("LE");
    if (names_charset(name, {"UTF-32", "UTF32", "UCS-4", "UCS4"}))
        return CodeUnits{4, !little};
    if (names_charset(name, {"UTF-16", "UTF16", "UCS-2", "UCS2"})) {
        const bool marked_little = bytes.starts_with("\xFF\xFE") || bytes.starts_with(std::string_view("<\0", 2));
        return CodeUnits{2, !(little || (!name.ends_with("BE") && marked_little))};
    }
    if (names_charset(name, {"2022", "UTF-7", "UTF7", "HZ", "EBCDIC", "037", "1047"}))
        return std::nullopt;
    return CodeUnits{};
}

// Reads a document's text as a sequence of code units.
class UnitText {
public:
    UnitText(std::string_view bytes, CodeUnits units) : m_bytes(bytes), m_units(units) {}

    std::size_t size() const { return m_bytes.size() / m_units.width; }
    std::uint32_t at(std::size_t i) const
    {
        std::uint32_t value = 0;
        for (std::size_t k = 0; k < m_units.width; ++k) {
            const std::size_t byte = m_units.big_endian ? k : m_units.width - 1 - k;
            value = value << 8 | static_cast<unsigned char>(m_bytes[i * m_units.width + byte]);
        }
        return value;
    }
    bool has(std::size_t i, std::string_view ascii) const
    {
        if (i + ascii.size() > size())
            return false;
        for (std::size_t k = 0; k < ascii.size(); ++k)
            if (at(i + k) != static_cast<unsigned char>(ascii[k]))
                return false;
        return true;
    }
    // The first "<" or "&" from i on; size() when there is none.
    std::size_t next_markup(std::size_t i) const
    {
        if (m_units.width == 1)
            return std::min(m_bytes.find_first_of("<&", i), size());
        while (i < size() && at(i) != '<' && at(i) != '&')
            ++i;
        return i;
    }
    // The unit after the next ascii from i on; size() when there is none.
    std::size_t past(std::size_t i, std::string_view ascii) const
    {
        for (; i < size(); ++i)
            if (has(i, ascii))
                return i + ascii.size();
        return size();
    }
    // ascii written in these code units.
    std::string encode(std::string_view ascii) const
    {
        std::string out;
        for (const char c : ascii)
            for (std::size_t k = 0; k < m_units.width; ++k) {
                const std::size_t last = m_units.big_endian ? m_units.width - 1 : 0;
                out += k == last ? c : '\0';
            }
        return out;
    }

private:
    std::string_view m_bytes;
    CodeUnits m_units;
};

bool is_xml_char(std::uint32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

// Whether the "&" at i starts a reference XML allows: a name ("&amp;",
// "&eacute;"), a decimal one or a hexadecimal one with a lower-case x
// ("&#38;", "&#x26;") to a character XML allows, each closed by ";".
bool starts_reference(const UnitText& text, std::size_t i)
{
    const auto is_name_start = [](std::uint32_t c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':';
    };
    const auto is_digit = [](std::uint32_t c) { return c >= '0' && c <= '9'; };
    std::size_t k = i + 1;
    if (k < text.size() && is_name_start(text.at(k))) {
        while (k < text.size() && (is_name_start(text.at(k)) || is_digit(text.at(k)) || text.at(k) == '-' ||
                                   text.at(k) == '.'))
            ++k;
        return k < text.size() && text.at(k) == ';';
    }
    if (!text.has(k, "#"))
        return false;
    const bool hex = text.has(k + 1, "x");
    k += hex ? 2 : 1;
    const std::size_t digits_start = k;
    std::uint64_t value = 0;
    for (; k < text.size() && k - digits_start < 12; ++k) {
        const std::uint32_t c = text.at(k);
        const int digit = is_digit(c) ? int(c - '0')
                          : hex && c >= 'a' && c <= 'f' ? int(c - 'a' + 10)
                          : hex && c >= 'A' && c <= 'F' ? int(c - 'A' + 10) : -1;
        if (digit < 0)
            break;
        value = value * (hex ? 16 : 10) + std::uint64_t(digit);
    }
    return k > digits_start && k < text.size() && text.at(k) == ';' && value <= 0x10FFFF &&
           is_xml_char(std::uint32_t(value));
}

// Feeds write "&" bare in addresses ("?v=1&feature=rss") and text, and XML
// refuses a whole document for one. Each "&" that starts no reference XML
// allows becomes "&amp;", so it reads as the text it was; comments, CDATA
// sections and processing instructions, where "&" is no markup, are passed
// over. Empty when nothing needed it.
std::optional<std::string> with_bare_ampersands_escaped(std::string_view bytes, const char* encoding)
{
    const std::optional<CodeUnits> units = code_units(bytes, encoding);
    if (!units || bytes.find('&') == std::string_view::npos)
        return std::nullopt;
    const UnitText text(bytes, *units);
    const std::string amp = text.encode("amp;");
    std::string out;
    std::size_t copied = 0;   // units
    for (std::size_t i = text.next_markup(0); i < text.size(); i = text.next_markup(i)) {
        if (text.has(i, "<!--")) {
            i = text.past(i + 4, "-->");
        } else if (text.has(i, "<![CDATA[")) {
            i = text.past(i + 9, "]]>");
        } else if (text.has(i, "<?")) {
            i = text.past(i + 2, "?>");
        } else if (text.at(i) == '&' && !starts_reference(text, i)) {
            out.append(bytes.substr(copied * units->width, (i + 1 - copied) * units->width));
            out += amp;
            copied = ++i;
        } else {
            ++i;
        }
    }
    if (copied == 0)
        return std::nullopt;
    out.append(bytes.substr(copied * units->width));
    return out;
}

duk_ret_t finalize_tree(duk_context* ctx)
{
    delete hidden<Tree>(ctx, 0, tree_data_key);
    duk_push_pointer(ctx, nullptr);
    duk_put_prop_literal(ctx, 0, tree_data_key);
    return 0;
}

// Pushes a tree object that owns doc and reads the namespace prefixes of document.
void push_tree(duk_context* ctx, std::unique_ptr<xmlDoc, FreeDoc> doc, const Document& document)
{
    duk_push_object(ctx);
    duk_push_c_function(ctx, finalize_tree, 2);
    duk_set_finalizer(ctx, -2);
    duk_push_pointer(ctx, new Tree{std::move(doc), document.namespaces});
    duk_put_prop_literal(ctx, -2, tree_data_key);
}

// Parses bytes into the document object at document_index and sets its
// documentElement and parseError. encoding, when given, is the bytes' own
// charset and overrides what the document declares.
CallOutcome parse_into(duk_context* ctx, int document_index, std::string_view bytes, const char* encoding,
                       Leniency leniency)
{
    document_index = duk_normalize_index(ctx, document_index);
    auto* document = hidden<Document>(ctx, document_index, document_key);
    if (!document)
        return CallOutcome::fail(E_UNEXPECTED, "not an XML document");
    duk_del_prop_literal(ctx, document_index, tree_key);
    std::optional<std::string> repaired;
    if (leniency == Leniency::Feed && (repaired = with_bare_ampersands_escaped(bytes, encoding)))
        bytes = *repaired;
    Parsed parsed = read_document(bytes, encoding, 0);
    if (!parsed.parser)
        return CallOutcome::fail(E_OUTOFMEMORY, "XML DOM: no parser");
    if (!parsed.parser->wellFormed)
        parsed.doc.reset();
    if (!parsed.doc && leniency == Leniency::Feed && damaged_only_at_the_end(*parsed.first_fault)) {
        Parsed recovered = read_document(bytes, encoding, XML_PARSE_RECOVER);
        if (recovered.doc && recovered.parser->nameNr <= most_open_at_the_end)
            parsed.doc = std::move(recovered.doc);
    }
    if (!parsed.doc) {
        const xmlError* error = xmlCtxtGetLastError(parsed.parser.get());
        std::string reason = error && error->message ? error->message : "the document is empty";
        while (!reason.empty() && reason.back() == '\n')
            reason.pop_back();
        set_parse_error(ctx, document_index, error && error->code ? -error->code : -1, reason, error ? error->line : 0);
        duk_push_null(ctx);
        duk_put_prop_string(ctx, document_index, "documentElement");
        duk_push_false(ctx);
        return {1};
    }
    xmlNode* root = xmlDocGetRootElement(parsed.doc.get());
    push_tree(ctx, std::move(parsed.doc), *document);
    push_node(ctx, root, -1);
    duk_put_prop_string(ctx, document_index, "documentElement");
    duk_put_prop_literal(ctx, document_index, tree_key);
    set_parse_error(ctx, document_index, 0, "", 0);
    duk_push_true(ctx);
    return {1};
}

CallOutcome load_body(duk_context* ctx)
{
    const std::string text = get_utf8(ctx, 0);
    duk_push_this(ctx);
    // The text is already decoded: whatever encoding it declares, it is read as UTF-8 here.
    CallOutcome outcome = parse_into(ctx, -1, text, "UTF-8", Leniency::None);
    if (outcome.number == 0)
        duk_remove(ctx, -2);
    return outcome;
}

duk_ret_t load_xml(duk_context* ctx) { return finish_call(ctx, load_body(ctx)); }

// setProperty("SelectionNamespaces", "xmlns:a='uri' xmlns:b=\"uri\""); other properties are accepted and ignored.
CallOutcome set_property_body(duk_context* ctx)
{
    duk_push_this(ctx);
    auto* document = hidden<Document>(ctx, -1, document_key);
    duk_pop(ctx);
    if (!document)
        return CallOutcome::fail(E_UNEXPECTED, "not an XML document");
    if (get_utf8(ctx, 0) != "SelectionNamespaces")
        return {0};
    const std::string decls = get_utf8(ctx, 1);
    std::vector<std::pair<std::string, std::string>> found;
    for (std::size_t at = decls.find("xmlns:"); at != std::string::npos; at = decls.find("xmlns:", at)) {
        const std::size_t eq = decls.find('=', at);
        if (eq == std::string::npos || eq + 1 >= decls.size() || (decls[eq + 1] != '\'' && decls[eq + 1] != '"'))
            return CallOutcome::fail(E_INVALIDARG, "XML DOM: malformed SelectionNamespaces");
        const std::size_t close = decls.find(decls[eq + 1], eq + 2);
        if (close == std::string::npos)
            return CallOutcome::fail(E_INVALIDARG, "XML DOM: malformed SelectionNamespaces");
        found.emplace_back(decls.substr(at + 6, eq - at - 6), decls.substr(eq + 2, close - eq - 2));
        at = close + 1;
    }
    *document->namespaces = std::move(found);
    return {0};
}

duk_ret_t set_property(duk_context* ctx) { return finish_call(ctx, set_property_body(ctx)); }

xmlNode* this_node(duk_context* ctx)
{
    duk_push_this(ctx);
    auto* node = hidden<xmlNode>(ctx, -1, node_key);
    duk_pop(ctx);
    return node;
}

duk_ret_t node_text(duk_context* ctx)
{
    xmlNode* node = this_node(ctx);
    if (!node)
        return 0;
    xmlChar* text = xmlNodeGetContent(node);
    push_utf8(ctx, text ? reinterpret_cast<const char*>(text) : "");
    xmlFree(text);
    return 1;
}

duk_ret_t node_name(duk_context* ctx)
{
    xmlNode* node = this_node(ctx);
    if (!node)
        return 0;
    std::string name = node->name ? reinterpret_cast<const char*>(node->name) : "";
    if (node->type == XML_TEXT_NODE)
        name = "#text";
    else if (node->type == XML_COMMENT_NODE)
        name = "#comment";
    else if (node->ns && node->ns->prefix)
        name = std::string(reinterpret_cast<const char*>(node->ns->prefix)) + ":" + name;
    push_utf8(ctx, name);
    return 1;
}

// The DOM's node types: 1 element, 3 text, 7 processing instruction, 8 comment.
duk_ret_t node_type(duk_context* ctx)
{
    xmlNode* node = this_node(ctx);
    if (!node)
        return 0;
    duk_push_int(ctx, static_cast<int>(node->type));
    return 1;
}

enum class NamePart { Local, NamespaceUri };

// An element's or attribute's name without its prefix, or the address of its
// namespace; "" for other nodes and for no namespace.
duk_ret_t push_name_part(duk_context* ctx, NamePart part)
{
    const xmlNode* node = this_node(ctx);
    if (!node)
        return 0;
    const xmlChar* text = nullptr;
    if (node->type == XML_ELEMENT_NODE || node->type == XML_ATTRIBUTE_NODE)
        text = part == NamePart::Local ? node->name : node->ns ? node->ns->href : nullptr;
    push_utf8(ctx, text ? reinterpret_cast<const char*>(text) : "");
    return 1;
}

// The node written out as XML, its markup and escapes as they stand.
duk_ret_t node_xml(duk_context* ctx)
{
    xmlNode* node = this_node(ctx);
    if (!node)
        return 0;
    std::unique_ptr<xmlBuffer, decltype(&xmlBufferFree)> buffer{xmlBufferCreate(), &xmlBufferFree};
    std::string text;
    if (buffer && xmlNodeDump(buffer.get(), node->doc, node, 0, 0) >= 0)
        text.assign(reinterpret_cast<const char*>(xmlBufferContent(buffer.get())),
                    static_cast<std::size_t>(xmlBufferLength(buffer.get())));
    push_utf8(ctx, text);
    return 1;
}

duk_ret_t base_name(duk_context* ctx) { return push_name_part(ctx, NamePart::Local); }
duk_ret_t namespace_uri(duk_context* ctx) { return push_name_part(ctx, NamePart::NamespaceUri); }

duk_ret_t child_nodes(duk_context* ctx)
{
    auto [tree, node] = push_this_tree(ctx);
    if (!tree || !node)
        return 0;
    std::vector<xmlNode*> children;
    for (xmlNode* child = node->children; child; child = child->next)
        if (is_dom_node(child))
            children.push_back(child);
    push_list(ctx, children, -1);
    return 1;
}

duk_ret_t get_attribute(duk_context* ctx)
{
    xmlNode* node = this_node(ctx);
    if (!node || node->type != XML_ELEMENT_NODE)
        return 0;
    const std::string name = get_utf8(ctx, 0);
    const std::size_t colon = name.find(':');
    xmlChar* value = nullptr;
    if (colon == std::string::npos) {
        value = xmlGetNoNsProp(node, BAD_CAST name.c_str());
    } else {
        const std::string prefix = name.substr(0, colon);
        if (xmlNs* ns = xmlSearchNs(node->doc, node, BAD_CAST prefix.c_str()))
            value = xmlGetNsProp(node, BAD_CAST name.c_str() + colon + 1, ns->href);
    }
    if (!value) {
        duk_push_null(ctx);
        return 1;
    }
    push_utf8(ctx, reinterpret_cast<const char*>(value));
    xmlFree(value);
    return 1;
}

duk_ret_t finalize_document(duk_context* ctx)
{
    delete hidden<Document>(ctx, 0, document_key);
    duk_push_pointer(ctx, nullptr);
    duk_put_prop_literal(ctx, 0, document_key);
    return 0;
}

void define_getter(duk_context* ctx, const char* name, duk_c_function getter)
{
    duk_push_string(ctx, name);
    duk_push_c_function(ctx, getter, 0);
    duk_def_prop(ctx, -3, DUK_DEFPROP_HAVE_GETTER);
}

void put_node_prototype(duk_context* ctx)
{
    duk_push_object(ctx);
    const duk_function_list_entry methods[] = {{"getAttribute", get_attribute, 1},
                                               {"selectNodes", select_nodes, 1},
                                               {"selectSingleNode", select_single_node, 1},
                                               {nullptr, nullptr, 0}};
    duk_put_function_list(ctx, -1, methods);
    define_getter(ctx, "text", node_text);
    define_getter(ctx, "nodeName", node_name);
    define_getter(ctx, "nodeType", node_type);
    define_getter(ctx, "baseName", base_name);
    define_getter(ctx, "xml", node_xml);
    define_getter(ctx, "namespaceURI", namespace_uri);
    define_getter(ctx, "childNodes", child_nodes);
    duk_put_prop_literal(ctx, -2, node_proto_key);
}

// A node list is an array whose prototype adds item(i) to Array's.
void put_list_prototype(duk_context* ctx)
{
    duk_push_object(ctx);
    duk_push_array(ctx);
    duk_get_prototype(ctx, -1);
    duk_set_prototype(ctx, -3);
    duk_pop(ctx);
    duk_push_c_function(ctx, list_item, 1);
    duk_put_prop_literal(ctx, -2, "item");
    duk_put_prop_literal(ctx, -2, list_proto_key);
}

void ensure_prototypes(duk_context* ctx)
{
    duk_push_heap_stash(ctx);
    if (!duk_has_prop_literal(ctx, -1, node_proto_key)) {
        put_node_prototype(ctx);
        put_list_prototype(ctx);
    }
    duk_pop(ctx);
}

void push_empty_document(duk_context* ctx)
{
    // libxml2 sets itself up on first use, which is not safe when two threads
    // (the feed updater's and a search's) get there at once.
    static std::once_flag once;
    std::call_once(once, [] { xmlInitParser(); });
    ensure_prototypes(ctx);
    duk_push_object(ctx);
    duk_push_pointer(ctx, new Document());
    duk_put_prop_literal(ctx, -2, document_key);
    duk_push_c_function(ctx, finalize_document, 2);
    duk_set_finalizer(ctx, -2);
    const duk_function_list_entry methods[] = {{"loadXML", load_xml, 1},
                                               {"setProperty", set_property, 2},
                                               {"selectNodes", select_nodes, 1},
                                               {"selectSingleNode", select_single_node, 1},
                                               {nullptr, nullptr, 0}};
    duk_put_function_list(ctx, -1, methods);
    duk_push_false(ctx);
    duk_put_prop_string(ctx, -2, "async");
    duk_push_null(ctx);
    duk_put_prop_string(ctx, -2, "documentElement");
    set_parse_error(ctx, -1, 0, "", 0);
}

}

void push_xml_document(duk_context* ctx)
{
    push_empty_document(ctx);
}

CallOutcome push_xml_document_from(duk_context* ctx, std::string_view bytes, std::string_view charset)
{
    push_empty_document(ctx);
    // A byte-order mark speaks for the bytes themselves; else the charset the
    // server named wins over the document's declaration. Bytes that are not
    // in the named charset fall back to what the document says of itself.
    if (const auto utf32 = utf32_form(bytes)) {
        const CallOutcome outcome =
            parse_into(ctx, -1, bytes.substr(utf32->mark), utf32->charset, Leniency::Feed);
        if (outcome.number != 0)
            return outcome;
        duk_pop(ctx);
        return {1};
    }
    const std::string encoding = has_byte_order_mark(bytes) ? std::string() : charset_for(bytes, charset);
    const bool named = !encoding.empty() && is_known_charset(encoding);
    CallOutcome outcome = parse_into(ctx, -1, bytes, named ? encoding.c_str() : nullptr, Leniency::Feed);
    if (outcome.number != 0)
        return outcome;
    const bool loaded = duk_get_boolean(ctx, -1);
    duk_pop(ctx);
    if (!loaded && named) {
        outcome = parse_into(ctx, -1, bytes, nullptr, Leniency::Feed);
        if (outcome.number == 0)
            duk_pop(ctx);
    }
    return outcome.number != 0 ? outcome : CallOutcome{1};
}

}
