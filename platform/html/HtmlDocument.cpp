#include "platform/html/HtmlDocument.h"

#include "platform/base/DebugLog.h"
#include "platform/html/HtmlElement.h"
#include "platform/html/HtmlTree.h"
#include "platform/html/Selector.h"

#include <new>

namespace plat::html {

HtmlDocument::HtmlDocument() : m_tree(std::make_shared<DocumentTree>(DocumentTree{parse_document(""), {}, {}})) {}

void HtmlDocument::set_url(std::string url)
{
    m_tree->url = std::move(url);
}

void HtmlDocument::enable_scripts(AlertSink alert, std::chrono::milliseconds run_limit)
{
    m_scripts = std::make_shared<PageScripts>(std::move(alert), run_limit);
    m_tree->scripts = m_scripts;
}

void HtmlDocument::close_scripts()
{
    if (m_scripts)
        m_scripts->close();
}

HtmlDocument::~HtmlDocument() { close_scripts(); }

ComPtr<IHTMLElement> HtmlDocument::first_element_matching(std::string_view selector)
{
    Node* found = first_match(*m_tree->root, selector);
    return found ? ComPtr<IHTMLElement>::adopt(new HtmlElement(m_tree, *found)) : ComPtr<IHTMLElement>();
}

std::string HtmlDocument::markup() const
{
    return inner_html(*m_tree->root);
}

HRESULT HtmlDocument::get_Script(IDispatch** script) noexcept
{
    if (!script)
        return E_POINTER;
    *script = nullptr;
    return m_scripts ? m_scripts->global_dispatch(script) : E_FAIL;
}

HRESULT HtmlDocument::write(SAFEARRAY* texts) noexcept try {
    if (!texts || texts->cDims != 1 || !(texts->fFeatures & FADF_VARIANT))
        return E_INVALIDARG;
    std::string source = m_source;
    const auto* elements = static_cast<const VARIANT*>(texts->pvData);
    for (ULONG i = 0; i < texts->rgsabound[0].cElements; ++i) {
        Variant text;
        if (FAILED(VariantChangeType(text.get(), &elements[i], 0, VT_BSTR)))
            return E_INVALIDARG;
        source += bstr_to_utf8(text->bstrVal);
    }
    ParseResult result;
    std::unique_ptr<Node> tree = parse_document(source, &result);
    if (!tree) {
        debug_log(result == ParseResult::TooLarge ? "html: document refused: too large"
                                                  : "html: document refused: nested too deeply");
        return E_INVALIDARG;
    }
    const bool first = m_source.empty();
    m_tree = std::make_shared<DocumentTree>(DocumentTree{std::move(tree), m_tree->url, {}, m_scripts});
    m_source = std::move(source);
    if (first && m_scripts)
        m_scripts->run_scripts_in(*m_tree->root);
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT HtmlDocument::get_body(IHTMLElement** body) noexcept try {
    if (!body)
        return E_POINTER;
    Node* found = body_of(*m_tree->root);
    *body = found ? new HtmlElement(m_tree, *found) : nullptr;
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT HtmlDocument::getElementsByTagName(BSTR name, IHTMLElementCollection** elements) noexcept try {
    if (!elements)
        return E_POINTER;
    *elements = new HtmlElementCollection(m_tree, elements_by_tag_name(*m_tree->root, bstr_to_utf8(name)));
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT HtmlDocument::getElementById(BSTR id, IHTMLElement** element) noexcept try {
    if (!element)
        return E_POINTER;
    Node* found = element_by_id(*m_tree->root, bstr_to_utf8(id));
    *element = found ? new HtmlElement(m_tree, *found) : nullptr;
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

}
