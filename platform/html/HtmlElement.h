#pragma once
// A node of a document, and a list of elements. Each keeps the tree it
// belongs to alive, so it stays usable after the document is written again
// or the node is taken out of the tree.

#include "platform/com/ComObject.h"
#include "platform/html/HtmlInterfaces.h"
#include "platform/html/NamelessDispatch.h"

#include <memory>
#include <vector>

namespace plat::html {

class Node;
struct DocumentTree;

class HtmlElement final : public NamelessDispatch<ComObject<IHTMLElement, IHTMLImgElement, IHTMLDOMNode>> {
public:
    HtmlElement(std::shared_ptr<DocumentTree> tree, Node& node);

    // IHTMLElement only for elements, IHTMLImgElement only for img elements.
    HRESULT QueryInterface(REFIID iid, void** object) noexcept override;

    HRESULT put_id(BSTR id) noexcept override;
    HRESULT get_id(BSTR* id) noexcept override;
    HRESULT put_className(BSTR name) noexcept override;
    HRESULT get_className(BSTR* name) noexcept override;
    HRESULT getAttribute(BSTR name, LONG flags, VARIANT* value) noexcept override;
    HRESULT get_innerHTML(BSTR* html) noexcept override;
    HRESULT put_innerHTML(BSTR html) noexcept override;
    HRESULT get_innerText(BSTR* text) noexcept override;
    HRESULT insertAdjacentHTML(BSTR where, BSTR html) noexcept override;
    HRESULT click() noexcept override;
    HRESULT put_src(BSTR src) noexcept override;
    HRESULT get_src(BSTR* src) noexcept override;
    HRESULT get_parentNode(IHTMLDOMNode** parent) noexcept override;
    HRESULT removeChild(IHTMLDOMNode* child, IHTMLDOMNode** removed) noexcept override;
    HRESULT get_previousSibling(IHTMLDOMNode** sibling) noexcept override;

    // The node this object stands for, when `node` is one of ours.
    static Node* node_of(IHTMLDOMNode* node);

private:
    ~HtmlElement() override = default;
    HRESULT get_attribute(const char* name, BSTR* value) noexcept;
    HRESULT put_attribute(const char* name, BSTR value) noexcept;
    HRESULT hand_out(Node* node, IHTMLDOMNode** out);

    std::shared_ptr<DocumentTree> m_tree;
    Node& m_node;   // inside m_tree, in its document or among its removed subtrees
};

class HtmlElementCollection final : public NamelessDispatch<ComObject<IHTMLElementCollection>> {
public:
    HtmlElementCollection(std::shared_ptr<DocumentTree> tree, std::vector<Node*> elements);

    HRESULT get_length(LONG* length) noexcept override;
    HRESULT item(VARIANT name, VARIANT index, IDispatch** element) noexcept override;

private:
    ~HtmlElementCollection() override = default;

    std::shared_ptr<DocumentTree> m_tree;
    std::vector<Node*> m_elements;   // inside m_tree, in document order
};

}
