#include "platform/html/HtmlElement.h"

#include "platform/base/DebugLog.h"
#include "platform/html/HtmlTree.h"
#include "platform/html/PageScripts.h"
#include "platform/net/CrackedUrl.h"

#include <algorithm>
#include <cctype>
#include <new>

namespace plat::html {

namespace {

HRESULT hand_out_text(const std::string& text, BSTR* out)
{
    *out = Bstr::from_utf8(text).detach();
    return *out || text.empty() ? S_OK : E_OUTOFMEMORY;
}

bool is_blank_text(const Node& node)
{
    return node.kind() == NodeKind::Text &&
           std::all_of(node.text().begin(), node.text().end(), [](unsigned char c) { return std::isspace(c); });
}

enum class Place { BeforeBegin, AfterBegin, BeforeEnd, AfterEnd, Unknown };

Place place_named(std::string name)
{
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    if (name == "beforebegin")
        return Place::BeforeBegin;
    if (name == "afterbegin")
        return Place::AfterBegin;
    if (name == "beforeend")
        return Place::BeforeEnd;
    if (name == "afterend")
        return Place::AfterEnd;
    return Place::Unknown;
}

// The fragment's nodes, parsed as children of `context`; null when refused.
std::unique_ptr<Node> fragment_for(const Node& context, BSTR html)
{
    ParseResult result;
    std::unique_ptr<Node> fragment = parse_fragment(bstr_to_utf8(html), context.name(), &result);
    if (!fragment)
        debug_log(result == ParseResult::TooLarge ? "html: fragment refused: too large"
                                                  : "html: fragment refused: nested too deeply");
    return fragment;
}

// Moves the fragment's nodes into parent at position, then runs the scripts
// they hold: each inserted script runs once, when it is inserted.
void insert_all(DocumentTree& tree, Node& parent, std::size_t position, Node& fragment)
{
    std::vector<Node*> inserted;
    for (auto& child : fragment.remove_children())
        inserted.push_back(&parent.insert(position++, std::move(child)));
    if (const std::shared_ptr<PageScripts> scripts = tree.scripts)
        for (Node* node : inserted)
            scripts->run_scripts_in(*node);
}

bool is_number(const VARIANT& v)
{
    switch (v.vt) {
    case VT_I2: case VT_I4: case VT_UI4: case VT_R8: return true;
    default: return false;
    }
}

}

HtmlElement::HtmlElement(std::shared_ptr<DocumentTree> tree, Node& node) : m_tree(std::move(tree)), m_node(node) {}

HRESULT HtmlElement::QueryInterface(REFIID iid, void** object) noexcept
{
    const bool element = m_node.kind() == NodeKind::Element;
    if ((iid == IID_IHTMLImgElement && (!element || m_node.name() != "img")) || (iid == IID_IHTMLElement && !element)) {
        if (object)
            *object = nullptr;
        return object ? E_NOINTERFACE : E_POINTER;
    }
    return NamelessDispatch::QueryInterface(iid, object);
}

HRESULT HtmlElement::get_attribute(const char* name, BSTR* value) noexcept try {
    if (!value)
        return E_POINTER;
    const std::string* text = m_node.attribute(name);
    return hand_out_text(text ? *text : std::string(), value);
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT HtmlElement::put_attribute(const char* name, BSTR value) noexcept try {
    m_node.set_attribute(name, bstr_to_utf8(value));
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT HtmlElement::put_id(BSTR id) noexcept { return put_attribute("id", id); }
HRESULT HtmlElement::get_id(BSTR* id) noexcept { return get_attribute("id", id); }
HRESULT HtmlElement::put_src(BSTR src) noexcept { return put_attribute("src", src); }
HRESULT HtmlElement::get_src(BSTR* src) noexcept { return get_attribute("src", src); }

HRESULT HtmlElement::get_innerHTML(BSTR* html) noexcept try {
    if (!html)
        return E_POINTER;
    return hand_out_text(inner_html(m_node), html);
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT HtmlElement::put_className(BSTR name) noexcept { return put_attribute("class", name); }
HRESULT HtmlElement::get_className(BSTR* name) noexcept { return get_attribute("class", name); }

HRESULT HtmlElement::getAttribute(BSTR name, LONG, VARIANT* value) noexcept try {
    if (!value)
        return E_POINTER;
    VariantInit(value);
    const std::string wanted = bstr_to_utf8(name);
    const std::string* text = m_node.attribute(wanted);
    if (!text) {
        value->vt = VT_NULL;
        return S_OK;
    }
    std::string result = *text;
    if (m_node.attribute("href") == text)
        result = resolve_url(m_tree->url, *text).value_or(*text);
    value->vt = VT_BSTR;
    return hand_out_text(result, &value->bstrVal);
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT HtmlElement::put_innerHTML(BSTR html) noexcept try {
    std::unique_ptr<Node> fragment = fragment_for(m_node, html);
    if (!fragment)
        return E_INVALIDARG;
    for (auto& child : m_node.remove_children())
        m_tree->removed.push_back(std::move(child));
    insert_all(*m_tree, m_node, 0, *fragment);
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT HtmlElement::get_innerText(BSTR* text) noexcept try {
    if (!text)
        return E_POINTER;
    return hand_out_text(inner_text(m_node), text);
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT HtmlElement::insertAdjacentHTML(BSTR where, BSTR html) noexcept try {
    const Place place = place_named(bstr_to_utf8(where));
    if (place == Place::Unknown)
        return E_INVALIDARG;
    const bool inside = place == Place::AfterBegin || place == Place::BeforeEnd;
    Node* parent = inside ? &m_node : m_node.parent();
    if (!parent || parent->kind() != NodeKind::Element)
        return E_FAIL;
    std::unique_ptr<Node> fragment = fragment_for(*parent, html);
    if (!fragment)
        return E_INVALIDARG;
    std::size_t position = 0;
    switch (place) {
    case Place::AfterBegin: position = 0; break;
    case Place::BeforeEnd: position = m_node.children().size(); break;
    case Place::BeforeBegin: position = parent->position_of(m_node); break;
    default: position = parent->position_of(m_node) + 1; break;
    }
    insert_all(*m_tree, *parent, position, *fragment);
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT HtmlElement::click() noexcept try {
    const std::string* href = m_node.kind() == NodeKind::Element && m_node.name() == "a" ? m_node.attribute("href")
                                                                                       : nullptr;
    if (href && m_tree->scripts)
        m_tree->scripts->run_javascript_url(*href);
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT HtmlElement::hand_out(Node* node, IHTMLDOMNode** out)
{
    *out = node ? new HtmlElement(m_tree, *node) : nullptr;
    return S_OK;
}

HRESULT HtmlElement::get_parentNode(IHTMLDOMNode** parent) noexcept try {
    if (!parent)
        return E_POINTER;
    Node* above = m_node.parent();
    return hand_out(above && above->kind() != NodeKind::Document ? above : nullptr, parent);
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT HtmlElement::removeChild(IHTMLDOMNode* child, IHTMLDOMNode** removed) noexcept try {
    if (removed)
        *removed = nullptr;
    Node* node = node_of(child);
    if (!node || node->parent() != &m_node)
        return E_INVALIDARG;
    m_tree->removed.push_back(m_node.remove(*node));
    if (removed) {
        child->AddRef();
        *removed = child;
    }
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT HtmlElement::get_previousSibling(IHTMLDOMNode** sibling) noexcept try {
    if (!sibling)
        return E_POINTER;
    Node* parent = m_node.parent();
    Node* found = nullptr;
    for (std::size_t at = parent ? parent->position_of(m_node) : 0; at-- > 0 && !found;)
        if (!is_blank_text(*parent->children()[at]))
            found = parent->children()[at].get();
    return hand_out(found, sibling);
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

Node* HtmlElement::node_of(IHTMLDOMNode* node)
{
    auto* ours = dynamic_cast<HtmlElement*>(node);
    return ours ? &ours->m_node : nullptr;
}

HtmlElementCollection::HtmlElementCollection(std::shared_ptr<DocumentTree> tree, std::vector<Node*> elements)
    : m_tree(std::move(tree)), m_elements(std::move(elements))
{
}

HRESULT HtmlElementCollection::get_length(LONG* length) noexcept
{
    if (!length)
        return E_POINTER;
    *length = static_cast<LONG>(m_elements.size());
    return S_OK;
}

HRESULT HtmlElementCollection::item(VARIANT name, VARIANT index, IDispatch** element) noexcept try {
    if (!element)
        return E_POINTER;
    *element = nullptr;
    Node* found = nullptr;
    if (is_number(name)) {
        Variant position;
        if (FAILED(VariantChangeType(position.get(), &name, 0, VT_I4)))
            return E_INVALIDARG;
        if (position->lVal >= 0 && static_cast<std::size_t>(position->lVal) < m_elements.size())
            found = m_elements[position->lVal];
    } else if (name.vt == VT_BSTR) {
        LONG wanted = 0;
        if (is_number(index)) {
            Variant n;
            if (FAILED(VariantChangeType(n.get(), &index, 0, VT_I4)))
                return E_INVALIDARG;
            wanted = n->lVal;
        }
        std::string key = bstr_to_utf8(name.bstrVal);
        for (Node* candidate : m_elements) {
            const std::string* id = candidate->attribute("id");
            const std::string* name_attribute = candidate->attribute("name");
            if (((id && *id == key) || (name_attribute && *name_attribute == key)) && wanted-- == 0) {
                found = candidate;
                break;
            }
        }
    } else {
        return E_INVALIDARG;
    }
    if (found)
        *element = static_cast<IHTMLElement*>(new HtmlElement(m_tree, *found));
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

}
