#include "platform/html/HtmlElement.h"

#include "platform/html/HtmlTree.h"

#include <new>

namespace plat::html {

namespace {

HRESULT hand_out_text(const std::string& text, BSTR* out)
{
    *out = Bstr::from_utf8(text).detach();
    return *out || text.empty() ? S_OK : E_OUTOFMEMORY;
}

bool is_number(const VARIANT& v)
{
    switch (v.vt) {
    case VT_I2: case VT_I4: case VT_UI4: case VT_R8: return true;
    default: return false;
    }
}

}

HtmlElement::HtmlElement(std::shared_ptr<Node> tree, Node& element) : m_tree(std::move(tree)), m_element(element) {}

HRESULT HtmlElement::QueryInterface(REFIID iid, void** object) noexcept
{
    if (iid == IID_IHTMLImgElement && m_element.name() != "img") {
        if (object)
            *object = nullptr;
        return object ? E_NOINTERFACE : E_POINTER;
    }
    return NamelessDispatch::QueryInterface(iid, object);
}

HRESULT HtmlElement::get_attribute(const char* name, BSTR* value) noexcept try {
    if (!value)
        return E_POINTER;
    const std::string* text = m_element.attribute(name);
    return hand_out_text(text ? *text : std::string(), value);
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT HtmlElement::put_attribute(const char* name, BSTR value) noexcept try {
    m_element.set_attribute(name, bstr_to_utf8(value));
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
    return hand_out_text(inner_html(m_element), html);
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HtmlElementCollection::HtmlElementCollection(std::shared_ptr<Node> tree, std::vector<Node*> elements)
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
