#pragma once
// An HTML document as a tree that callers may change: parsed by gumbo into
// nodes of our own, written back out as HTML. Nothing in it is ever run or
// fetched.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace plat::html {

enum class NodeKind { Document, Element, Text, Comment };

struct Attribute {
    std::string name;    // lower case for HTML elements
    std::string value;
};

class Node {
public:
    explicit Node(NodeKind kind) : m_kind(kind) {}
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;
    // Frees the subtree without recursion, however deep it is.
    ~Node();

    NodeKind kind() const { return m_kind; }
    // An element's tag name, lower case for HTML elements.
    const std::string& name() const { return m_name; }
    // A text or comment node's text.
    const std::string& text() const { return m_text; }
    const std::vector<std::unique_ptr<Node>>& children() const { return m_children; }
    const Node* parent() const { return m_parent; }

    // Null when the element has no such attribute; names match without ASCII case.
    const std::string* attribute(std::string_view name) const;
    void set_attribute(std::string_view name, std::string value);

    Node& append(std::unique_ptr<Node> child);
    void set_name(std::string name) { m_name = std::move(name); }
    void set_text(std::string text) { m_text = std::move(text); }
    void add_attribute(Attribute attribute) { m_attributes.push_back(std::move(attribute)); }
    const std::vector<Attribute>& attributes() const { return m_attributes; }

private:
    NodeKind m_kind;
    std::string m_name;
    std::string m_text;
    std::vector<Attribute> m_attributes;
    std::vector<std::unique_ptr<Node>> m_children;
    Node* m_parent{nullptr};
};

enum class ParseResult { Parsed, TooLarge, TooDeep };

// Limits that keep the parser's time bounded: gumbo's work grows with the
// square of the nesting, so deeper markup is refused before it reaches it.
inline constexpr std::size_t max_document_bytes = 16u << 20;
inline constexpr int max_nesting = 512;

// Parses a whole document or a fragment (which gains html, head and body, as
// a browser's document does). Null with the reason when refused.
std::unique_ptr<Node> parse_document(std::string_view html, ParseResult* result = nullptr);

// The markup of a node's children (innerHTML), serialised as HTML5 does.
std::string inner_html(const Node& node);

// Elements below `root` in document order whose tag name matches without
// ASCII case; "*" matches every element.
std::vector<Node*> elements_by_tag_name(Node& root, std::string_view name);

// The first element below `root` in document order whose id is `id`.
Node* element_by_id(Node& root, std::string_view id);

// The body element of a parsed document.
Node* body_of(Node& document);

}
