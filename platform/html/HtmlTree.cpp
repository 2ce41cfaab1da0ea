// The document tree: gumbo's parse copied into our own nodes, and the HTML5
// serialisation of a node's children.

#include "platform/html/HtmlTree.h"

#include "platform/base/AsciiCase.h"

#include <gumbo.h>

#include <algorithm>
#include <cctype>
#include <initializer_list>

namespace plat::html {

namespace {

bool is_named(std::string_view name, std::initializer_list<std::string_view> names)
{
    return std::any_of(names.begin(), names.end(), [&](std::string_view n) { return equals_nocase(n, name); });
}

bool is_void_element(std::string_view name)
{
    return is_named(name, {"area", "base", "basefont", "bgsound", "br", "col", "embed", "frame", "hr", "img", "input",
                           "keygen", "link", "meta", "param", "source", "track", "wbr", "image"});
}

// HTML elements whose text is written as it stands, never escaped.
bool is_raw_text_element(std::string_view name)
{
    return is_named(name, {"script", "style", "xmp", "iframe", "noembed", "noframes", "plaintext"});
}

bool is_markup_space(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

bool is_ascii_alpha(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// "<name" or "</name" at `at` (as `prefix`) followed by what ends a tag name.
bool is_tag_named(std::string_view html, std::size_t at, std::string_view prefix, std::string_view name)
{
    const std::string_view rest = at <= html.size() ? html.substr(at) : std::string_view();
    const std::size_t after = at + prefix.size() + name.size();
    return starts_with_nocase(rest, prefix) && starts_with_nocase(rest.substr(prefix.size()), name) &&
           after < html.size() && (is_markup_space(html[after]) || html[after] == '/' || html[after] == '>');
}

// A tag as the tokenizer reads it: its name and its closing ">" (the end of
// the markup when it has none). Names may hold "<", "=" and quotes; a value
// is quoted only where one starts right after "=".
struct Tag {
    std::string_view name;
    std::size_t end;
};

Tag read_tag(std::string_view html, std::size_t name_at)
{
    const auto ends_name = [&](std::size_t at) {
        return is_markup_space(html[at]) || html[at] == '/' || html[at] == '>';
    };
    std::size_t at = name_at;
    while (at < html.size() && !ends_name(at))
        ++at;
    const Tag tag{html.substr(name_at, at - name_at), html.size()};
    while (at < html.size()) {
        if (html[at] == '>')
            return {tag.name, at};
        if (ends_name(at)) {
            ++at;
            continue;
        }
        ++at;   // an attribute name's first character, which may be "="
        while (at < html.size() && !ends_name(at) && html[at] != '=')
            ++at;
        while (at < html.size() && is_markup_space(html[at]))
            ++at;
        if (at == html.size() || html[at] != '=')
            continue;
        ++at;
        while (at < html.size() && is_markup_space(html[at]))
            ++at;
        if (at < html.size() && (html[at] == '"' || html[at] == '\'')) {
            const std::size_t close = html.find(html[at], at + 1);
            if (close == std::string_view::npos)
                return tag;
            at = close + 1;
        } else {
            while (at < html.size() && !is_markup_space(html[at]) && html[at] != '>')
                ++at;
        }
    }
    return tag;
}

// The last character of the comment opening at `open` ("<!--"): its ">",
// however the tokenizer ends it, or the end of the markup.
std::size_t end_of_comment(std::string_view html, std::size_t open)
{
    const std::size_t body = open + 4;
    if (body < html.size() && html[body] == '>')
        return body;
    if (body + 1 < html.size() && html[body] == '-' && html[body + 1] == '>')
        return body + 1;
    for (std::size_t at = html.find("--", body); at != std::string_view::npos; at = html.find("--", at + 1)) {
        if (html.compare(at + 2, 1, ">") == 0)
            return at + 2;
        if (html.compare(at + 2, 2, "!>") == 0)
            return at + 3;
    }
    return html.size();
}

// Where the text of a script starting at `from` ends: at its end tag, outside
// the "<!--<script>" escapes that hide one, or at the end of the markup.
std::size_t end_of_script_text(std::string_view html, std::size_t from)
{
    enum { Data, Escaped, DoubleEscaped } state = Data;
    for (std::size_t at = from; at < html.size(); ++at) {
        if (state == Data && html.compare(at, 4, "<!--") == 0) {
            state = Escaped;
            at += 1;   // its dashes may close it again at once: "<!-->"
        } else if (state != Data && html.compare(at, 3, "-->") == 0) {
            state = Data;
            at += 2;
        } else if (is_tag_named(html, at, "</", "script")) {
            if (state != DoubleEscaped)
                return at;
            state = Escaped;
        } else if (state == Escaped && is_tag_named(html, at, "<", "script")) {
            state = DoubleEscaped;
        }
    }
    return html.size();
}

// Where the text of an element that holds only text ends: at its own end tag,
// or at the end of the markup.
std::size_t end_of_text(std::string_view html, std::size_t from, std::string_view name)
{
    for (std::size_t at = html.find("</", from); at != std::string_view::npos; at = html.find("</", at + 2))
        if (is_tag_named(html, at, "</", name))
            return at;
    return html.size();
}

// Where an element stands, for how the tokenizer reads the content of the
// text-only elements in it: SVG and MathML elements hold markup whatever their
// names, and a select ignores the text-only elements it may not hold.
enum class Context { Html, Foreign, Select };

Context context_in(Context parent, std::string_view name)
{
    if (is_named(name, {"svg", "math"}))
        return Context::Foreign;
    if (is_named(name, {"foreignObject", "desc", "title", "mi", "mo", "mn", "ms", "mtext", "annotation-xml", "template"}))
        return Context::Html;
    return equals_nocase(name, "select") ? Context::Select : parent;
}

enum class Content { Markup, Text, Script, TextToTheEnd };

Content content_of(std::string_view name, Context context)
{
    const bool script = equals_nocase(name, "script");
    if (!script && !is_named(name, {"style", "xmp", "iframe", "noembed", "noframes", "textarea", "title", "plaintext"}))
        return Content::Markup;
    if (context == Context::Foreign || (context == Context::Select && !script && !equals_nocase(name, "textarea")))
        return Content::Markup;
    if (script)
        return Content::Script;
    return equals_nocase(name, "plaintext") ? Content::TextToTheEnd : Content::Text;
}

// The deepest nesting the markup could open, read as the tokenizer reads it:
// every start tag of a non-void element opens one level, and an end tag closes
// the innermost open element only when it names it (the parser keeps elements
// open past end tags that name others, so counting those as closing would let
// any depth through). Comments, attribute values and the text of text-only
// elements hold no tags. The writer closes every element it opens, in order,
// so what it writes counts no deeper than its tree. Stops counting once past
// the limit.
int estimated_nesting(std::string_view html)
{
    struct Open {
        std::string_view name;
        Context context;
    };
    std::vector<Open> open;
    int deepest = 0;
    for (std::size_t i = html.find('<'); i != std::string_view::npos && i + 1 < html.size(); i = html.find('<', i + 1)) {
        const char next = html[i + 1];
        if (html.compare(i, 4, "<!--") == 0) {
            i = end_of_comment(html, i);
        } else if (next == '!' || next == '?') {
            i = std::min(html.find('>', i), html.size());   // a bogus comment or a doctype
        } else if (next == '/' && i + 2 < html.size()) {
            if (!is_ascii_alpha(html[i + 2])) {
                i = std::min(html.find('>', i), html.size());
                continue;
            }
            const Tag tag = read_tag(html, i + 2);
            if (!open.empty() && equals_nocase(open.back().name, tag.name))
                open.pop_back();
            i = tag.end;
        } else if (is_ascii_alpha(next)) {
            const Tag tag = read_tag(html, i + 1);
            i = tag.end;
            if (i == html.size())
                break;
            const Context context = open.empty() ? Context::Html : open.back().context;
            const Content content = content_of(tag.name, context);
            if (!is_void_element(tag.name)) {
                open.push_back({tag.name, context_in(context, tag.name)});
                deepest = std::max(deepest, static_cast<int>(open.size()));
                if (deepest > max_nesting)
                    break;
            }
            if (content == Content::TextToTheEnd)
                break;
            if (content == Content::Script)
                i = end_of_script_text(html, i + 1) - 1;
            else if (content == Content::Text)
                i = end_of_text(html, i + 1, tag.name) - 1;
        }
    }
    return deepest;
}

std::string element_name(const GumboElement& element)
{
    if (element.tag != GUMBO_TAG_UNKNOWN)
        return gumbo_normalized_tagname(element.tag);
    GumboStringPiece original = element.original_tag;
    gumbo_tag_from_original_text(&original);
    std::string name(original.data ? original.data : "", original.length);
    if (element.tag_namespace == GUMBO_NAMESPACE_HTML)
        std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    return name;
}

std::unique_ptr<Node> copy_leaf(const GumboNode& from)
{
    switch (from.type) {
    case GUMBO_NODE_TEXT:
    case GUMBO_NODE_WHITESPACE:
    case GUMBO_NODE_CDATA: {
        auto node = std::make_unique<Node>(NodeKind::Text);
        node->set_text(from.v.text.text);
        return node;
    }
    case GUMBO_NODE_COMMENT: {
        auto node = std::make_unique<Node>(NodeKind::Comment);
        node->set_text(from.v.text.text);
        return node;
    }
    default: {
        auto node = std::make_unique<Node>(NodeKind::Element);
        node->set_name(element_name(from.v.element));
        node->set_foreign(from.v.element.tag_namespace != GUMBO_NAMESPACE_HTML);
        const GumboVector& attributes = from.v.element.attributes;
        for (unsigned i = 0; i < attributes.length; ++i) {
            const auto* attribute = static_cast<const GumboAttribute*>(attributes.data[i]);
            node->add_attribute({attribute->name, attribute->value});
        }
        return node;
    }
    }
}

const GumboVector* children_of(const GumboNode& node)
{
    if (node.type == GUMBO_NODE_DOCUMENT)
        return &node.v.document.children;
    if (node.type == GUMBO_NODE_ELEMENT || node.type == GUMBO_NODE_TEMPLATE)
        return &node.v.element.children;
    return nullptr;
}

// Copies without recursion. The parser can nest deeper than the markup (it
// reopens formatting elements), so below the nesting limit the children of
// deeper nodes join the deepest allowed ancestor: every later walk stays
// shallow, and what is written out parses again.
std::unique_ptr<Node> copy_tree(const GumboNode& document)
{
    auto root = std::make_unique<Node>(NodeKind::Document);
    struct Pending { const GumboNode* from; Node* into; int depth; };
    std::vector<Pending> stack{{&document, root.get(), 0}};
    while (!stack.empty()) {
        Pending at = stack.back();
        stack.pop_back();
        const GumboVector* children = children_of(*at.from);
        for (unsigned i = 0; children && i < children->length; ++i) {
            const auto* child = static_cast<const GumboNode*>(children->data[i]);
            Node& copied = at.into->append(copy_leaf(*child));
            if (at.depth + 1 < max_nesting)
                stack.push_back({child, &copied, at.depth + 1});
            else
                stack.push_back({child, at.into, at.depth});
        }
    }
    return root;
}

void escape_into(std::string& out, std::string_view text, bool attribute)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '&')
            out += "&amp;";
        else if (c == '\xC2' && i + 1 < text.size() && text[i + 1] == '\xA0')
            out += "&nbsp;", ++i;
        else if (attribute && c == '"')
            out += "&quot;";
        else if (!attribute && c == '<')
            out += "&lt;";
        else if (!attribute && c == '>')
            out += "&gt;";
        else
            out += c;
    }
}

void serialise_children(std::string& out, const Node& node);

void serialise(std::string& out, const Node& node, const Node& parent)
{
    switch (node.kind()) {
    case NodeKind::Text:
        if (parent.kind() == NodeKind::Element && !parent.foreign() && is_raw_text_element(parent.name()))
            out += node.text();
        else
            escape_into(out, node.text(), false);
        return;
    case NodeKind::Comment:
        out += "<!--" + node.text() + "-->";
        return;
    case NodeKind::Document:
        serialise_children(out, node);
        return;
    case NodeKind::Element:
        out += '<' + node.name();
        for (const Attribute& attribute : node.attributes()) {
            out += ' ' + attribute.name + "=\"";
            escape_into(out, attribute.value, true);
            out += '"';
        }
        out += '>';
        if (!node.foreign() && is_void_element(node.name()))
            return;
        // The parser drops a line break right after these start tags: a text
        // that starts with one keeps it only when another is written before it.
        if (!node.foreign() && is_named(node.name(), {"pre", "textarea", "listing"}) && !node.children().empty() &&
            node.children().front()->kind() == NodeKind::Text && node.children().front()->text().starts_with('\n'))
            out += '\n';
        serialise_children(out, node);
        out += "</" + node.name() + '>';
        return;
    }
}

void serialise_children(std::string& out, const Node& node)
{
    for (const auto& child : node.children())
        serialise(out, *child, node);
}

template <class Match>
void collect(Node& root, Match match, std::vector<Node*>& found, bool first_only)
{
    std::vector<Node*> stack{&root};
    while (!stack.empty()) {
        Node* at = stack.back();
        stack.pop_back();
        if (at != &root && at->kind() == NodeKind::Element && match(*at)) {
            found.push_back(at);
            if (first_only)
                return;
        }
        for (auto child = at->children().rbegin(); child != at->children().rend(); ++child)
            stack.push_back(child->get());
    }
}

}

Node::~Node()
{
    std::vector<std::unique_ptr<Node>> pending = std::move(m_children);
    while (!pending.empty()) {
        std::unique_ptr<Node> last = std::move(pending.back());
        pending.pop_back();
        for (auto& child : last->m_children)
            pending.push_back(std::move(child));
        last->m_children.clear();
    }
}

const std::string* Node::attribute(std::string_view name) const
{
    for (const Attribute& attribute : m_attributes)
        if (equals_nocase(attribute.name, name))
            return &attribute.value;
    return nullptr;
}

void Node::set_attribute(std::string_view name, std::string value)
{
    for (Attribute& attribute : m_attributes)
        if (equals_nocase(attribute.name, name)) {
            attribute.value = std::move(value);
            return;
        }
    std::string lower(name);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    m_attributes.push_back({std::move(lower), std::move(value)});
}

Node& Node::append(std::unique_ptr<Node> child)
{
    child->m_parent = this;
    m_children.push_back(std::move(child));
    return *m_children.back();
}

Node& Node::insert(std::size_t position, std::unique_ptr<Node> child)
{
    child->m_parent = this;
    position = std::min(position, m_children.size());
    return **m_children.insert(m_children.begin() + static_cast<std::ptrdiff_t>(position), std::move(child));
}

std::size_t Node::position_of(const Node& child) const
{
    std::size_t at = 0;
    while (at < m_children.size() && m_children[at].get() != &child)
        ++at;
    return at;
}

std::unique_ptr<Node> Node::remove(const Node& child)
{
    const std::size_t at = position_of(child);
    if (at == m_children.size())
        return nullptr;
    std::unique_ptr<Node> taken = std::move(m_children[at]);
    m_children.erase(m_children.begin() + static_cast<std::ptrdiff_t>(at));
    taken->m_parent = nullptr;
    return taken;
}

std::vector<std::unique_ptr<Node>> Node::remove_children()
{
    std::vector<std::unique_ptr<Node>> taken = std::move(m_children);
    m_children.clear();
    for (auto& child : taken)
        child->m_parent = nullptr;
    return taken;
}

namespace {

bool within_limits(std::string_view html, ParseResult* result)
{
    ParseResult outcome = ParseResult::Parsed;
    if (html.size() > max_document_bytes)
        outcome = ParseResult::TooLarge;
    else if (estimated_nesting(html) > max_nesting)
        outcome = ParseResult::TooDeep;
    if (result)
        *result = outcome;
    return outcome == ParseResult::Parsed;
}

}

std::unique_ptr<Node> parse_document(std::string_view html, ParseResult* result)
{
    if (!within_limits(html, result))
        return nullptr;
    GumboOutput* output = gumbo_parse_with_options(&kGumboDefaultOptions, html.data(), html.size());
    std::unique_ptr<Node> tree = copy_tree(*output->document);
    gumbo_destroy_output(&kGumboDefaultOptions, output);
    return tree;
}

std::unique_ptr<Node> parse_fragment(std::string_view html, std::string_view context, ParseResult* result)
{
    if (!within_limits(html, result))
        return nullptr;
    GumboOptions options = kGumboDefaultOptions;
    const std::string context_name(context);
    options.fragment_context = gumbo_tag_enum(context_name.c_str());
    // An element gumbo does not know parses its content as a div would.
    if (options.fragment_context == GUMBO_TAG_UNKNOWN)
        options.fragment_context = GUMBO_TAG_DIV;
    options.fragment_namespace = GUMBO_NAMESPACE_HTML;
    GumboOutput* output = gumbo_parse_with_options(&options, html.data(), html.size());
    // The fragment's nodes are the children of the html element gumbo wraps them in.
    std::unique_ptr<Node> tree = copy_tree(*output->root);
    gumbo_destroy_output(&options, output);
    return tree;
}

std::string inner_text(const Node& node)
{
    std::string out;
    std::vector<const Node*> stack{&node};
    while (!stack.empty()) {
        const Node* at = stack.back();
        stack.pop_back();
        if (at->kind() == NodeKind::Text)
            out += at->text();
        if (at->kind() == NodeKind::Element && at->name() == "br")
            out += '\n';
        if (at->kind() == NodeKind::Element && (at->name() == "script" || at->name() == "style") && at != &node)
            continue;
        for (auto child = at->children().rbegin(); child != at->children().rend(); ++child)
            stack.push_back(child->get());
    }
    return out;
}

void set_style_property(Node& element, std::string_view property, std::string_view value)
{
    const std::string* old = element.attribute("style");
    std::string style;
    std::string_view rest = old ? std::string_view(*old) : std::string_view();
    while (!rest.empty()) {
        const std::size_t end = std::min(rest.find(';'), rest.size());
        const std::string_view declaration = rest.substr(0, end);
        rest.remove_prefix(std::min(end + 1, rest.size()));
        std::string_view name = declaration.substr(0, declaration.find(':'));
        while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
        while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
        if (declaration.find_first_not_of(' ') == std::string_view::npos || equals_nocase(name, property)) continue;
        style.append(declaration).append(";");
    }
    style.append(property).append(": ").append(value);
    element.set_attribute("style", std::move(style));
}

std::string inner_html(const Node& node)
{
    std::string out;
    serialise_children(out, node);
    return out;
}

std::vector<Node*> elements_by_tag_name(Node& root, std::string_view name)
{
    std::vector<Node*> found;
    collect(root, [&](const Node& n) { return name == "*" || equals_nocase(n.name(), name); }, found, false);
    return found;
}

Node* element_by_id(Node& root, std::string_view id)
{
    std::vector<Node*> found;
    collect(root, [&](const Node& n) { const std::string* v = n.attribute("id"); return v && *v == id; }, found, true);
    return found.empty() ? nullptr : found.front();
}

Node* body_of(Node& document)
{
    std::vector<Node*> found;
    collect(document, [](const Node& n) { return n.name() == "body"; }, found, true);
    return found.empty() ? nullptr : found.front();
}

}
