// The document tree: gumbo's parse copied into our own nodes, and the HTML5
// serialisation of a node's children.

#include "platform/html/HtmlTree.h"

#include <gumbo.h>

#include <algorithm>
#include <array>
#include <cctype>

namespace plat::html {

namespace {

bool equal_nocase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

bool is_void_element(std::string_view name)
{
    static constexpr std::array<std::string_view, 19> names = {
        "area", "base", "basefont", "bgsound", "br", "col", "embed", "frame", "hr", "img",
        "input", "keygen", "link", "meta", "param", "source", "track", "wbr", "image"};
    return std::any_of(names.begin(), names.end(), [&](std::string_view n) { return equal_nocase(n, name); });
}

// Elements whose text is written as it stands, never escaped.
bool is_raw_text_element(std::string_view name)
{
    static constexpr std::array<std::string_view, 7> names = {
        "script", "style", "xmp", "iframe", "noembed", "noframes", "plaintext"};
    return std::any_of(names.begin(), names.end(), [&](std::string_view n) { return n == name; });
}

// Elements whose content is text up to their own end tag, whatever it holds.
bool holds_only_text(std::string_view name)
{
    static constexpr std::array<std::string_view, 9> names = {
        "script", "style", "xmp", "iframe", "noembed", "noframes", "plaintext", "textarea", "title"};
    return std::any_of(names.begin(), names.end(), [&](std::string_view n) { return equal_nocase(n, name); });
}

// Where the text content of element name, starting at from, ends: at its end
// tag in any case, else at the end of the markup.
std::size_t end_of_text_content(std::string_view html, std::size_t from, std::string_view name)
{
    for (std::size_t at = html.find("</", from); at != std::string_view::npos; at = html.find("</", at + 2))
        if (at + 2 + name.size() <= html.size() && equal_nocase(html.substr(at + 2, name.size()), name))
            return at;
    return html.size();
}

// The end of the tag whose name starts at or ends at from: its ">" outside quoted
// attribute values (a quote opens one only right after "=", as the parser
// reads it), or the end of the markup.
std::size_t end_of_start_tag(std::string_view html, std::size_t from)
{
    for (std::size_t at = from; at < html.size(); ++at) {
        if (html[at] == '>')
            return at;
        if (html[at] != '=')
            continue;
        std::size_t value = at + 1;
        while (value < html.size() && std::isspace(static_cast<unsigned char>(html[value])))
            ++value;
        if (value < html.size() && (html[value] == '"' || html[value] == '\'')) {
            const std::size_t close = html.find(html[value], value + 1);
            if (close == std::string_view::npos)
                return html.size();
            at = close;
        }
    }
    return html.size();
}

// The deepest nesting the markup could open: every start tag of a non-void
// element counts one level, every end tag gives one back. Attribute values,
// comments and the text of script-like elements hold no tags. The writer
// never nests deeper than the limit, so what parsed once parses again.
int estimated_nesting(std::string_view html)
{
    int depth = 0, deepest = 0;
    for (std::size_t i = 0; i + 1 < html.size(); ++i) {
        if (html[i] != '<')
            continue;
        if (html.compare(i, 4, "<!--") == 0) {
            std::size_t end = html.find("-->", i + 4);
            if (end == std::string_view::npos)
                break;
            i = end + 2;
            continue;
        }
        if (html[i + 1] == '/') {
            depth = std::max(depth - 1, 0);
            i = end_of_start_tag(html, i + 2);   // an end tag's name may hold "<"
            continue;
        }
        if (!std::isalpha(static_cast<unsigned char>(html[i + 1])))
            continue;
        std::size_t end = i + 1;
        while (end < html.size() && std::isalnum(static_cast<unsigned char>(html[end])))
            ++end;
        const std::string_view name = html.substr(i + 1, end - i - 1);
        if (!is_void_element(name))
            deepest = std::max(deepest, ++depth);
        i = end_of_start_tag(html, end);
        if (holds_only_text(name) && i < html.size())
            i = end_of_text_content(html, i + 1, name) - 1;
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
        if (parent.kind() == NodeKind::Element && is_raw_text_element(parent.name()))
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
        if (is_void_element(node.name()))
            return;
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
        if (equal_nocase(attribute.name, name))
            return &attribute.value;
    return nullptr;
}

void Node::set_attribute(std::string_view name, std::string value)
{
    for (Attribute& attribute : m_attributes)
        if (equal_nocase(attribute.name, name)) {
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
        if (declaration.find_first_not_of(' ') == std::string_view::npos || equal_nocase(name, property)) continue;
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
    collect(root, [&](const Node& n) { return name == "*" || equal_nocase(n.name(), name); }, found, false);
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
