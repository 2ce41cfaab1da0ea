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
    Node* parent() { return m_parent; }

    // Null when the element has no such attribute; names match without ASCII case.
    const std::string* attribute(std::string_view name) const;
    void set_attribute(std::string_view name, std::string value);

    Node& append(std::unique_ptr<Node> child);
    // Inserts before the child at `position` (at the end when past the last).
    Node& insert(std::size_t position, std::unique_ptr<Node> child);
    // The child's position among this node's children; its count when not one.
    std::size_t position_of(const Node& child) const;
    // Detaches a child, or returns null when it is not one of this node's.
    std::unique_ptr<Node> remove(const Node& child);
    std::vector<std::unique_ptr<Node>> remove_children();
    void set_name(std::string name) { m_name = std::move(name); }
    void set_text(std::string text) { m_text = std::move(text); }
    // An SVG or MathML element: the rules of HTML elements that share its name
    // (void, text written unescaped) do not apply to it.
    bool foreign() const { return m_foreign; }
    void set_foreign(bool foreign) { m_foreign = foreign; }
    void add_attribute(Attribute attribute) { m_attributes.push_back(std::move(attribute)); }
    const std::vector<Attribute>& attributes() const { return m_attributes; }

private:
    NodeKind m_kind;
    std::string m_name;
    std::string m_text;
    std::vector<Attribute> m_attributes;
    std::vector<std::unique_ptr<Node>> m_children;
    Node* m_parent{nullptr};
    bool m_foreign{false};
};

enum class ParseResult { Parsed, TooLarge, TooDeep };

// Limits that keep the parser's time bounded: gumbo's work grows with the
// square of the nesting, so deeper markup is refused before it reaches it.
inline constexpr std::size_t max_document_bytes = 16u << 20;
inline constexpr int max_nesting = 512;

// Parses a whole document or a fragment (which gains html, head and body, as
// a browser's document does). Null with the reason when refused.
std::unique_ptr<Node> parse_document(std::string_view html, ParseResult* result = nullptr);

// Parses markup as a fragment whose parent would be an element named
// `context` (rows parse inside a table, a p closes inside a p), under the
// same limits. The fragment's nodes are the children of the returned node.
std::unique_ptr<Node> parse_fragment(std::string_view html, std::string_view context,
                                     ParseResult* result = nullptr);

class PageScripts;

// What a document's elements share: the tree, the page's address, the
// subtrees taken out of it, kept for as long as elements may point into them,
// and the page's scripts when the document runs them.
struct DocumentTree {
    std::unique_ptr<Node> root;
    std::string url;
    std::vector<std::unique_ptr<Node>> removed;
    std::shared_ptr<PageScripts> scripts;   // null: nothing runs
};

// The text of a node's descendants as a reader sees it: script and style
// contents left out, a br as a line break.
std::string inner_text(const Node& node);

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
