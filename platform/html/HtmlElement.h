#pragma once
// An element of a document, and a list of elements. Each keeps the tree it
// belongs to alive, so it stays usable after the document is written again.

#include "platform/com/ComObject.h"
#include "platform/html/HtmlInterfaces.h"
#include "platform/html/NamelessDispatch.h"

#include <memory>
#include <vector>

namespace plat::html {

class Node;

class HtmlElement final : public NamelessDispatch<ComObject<IHTMLElement, IHTMLImgElement>> {
public:
    HtmlElement(std::shared_ptr<Node> tree, Node& element);

    // IHTMLImgElement only for img elements.
    HRESULT QueryInterface(REFIID iid, void** object) noexcept override;

    HRESULT put_id(BSTR id) noexcept override;
    HRESULT get_id(BSTR* id) noexcept override;
    HRESULT get_innerHTML(BSTR* html) noexcept override;
    HRESULT put_src(BSTR src) noexcept override;
    HRESULT get_src(BSTR* src) noexcept override;

private:
    ~HtmlElement() override = default;
    HRESULT get_attribute(const char* name, BSTR* value) noexcept;
    HRESULT put_attribute(const char* name, BSTR value) noexcept;

    std::shared_ptr<Node> m_tree;
    Node& m_element;   // inside m_tree
};

class HtmlElementCollection final : public NamelessDispatch<ComObject<IHTMLElementCollection>> {
public:
    HtmlElementCollection(std::shared_ptr<Node> tree, std::vector<Node*> elements);

    HRESULT get_length(LONG* length) noexcept override;
    HRESULT item(VARIANT name, VARIANT index, IDispatch** element) noexcept override;

private:
    ~HtmlElementCollection() override = default;

    std::shared_ptr<Node> m_tree;
    std::vector<Node*> m_elements;   // inside m_tree, in document order
};

}
