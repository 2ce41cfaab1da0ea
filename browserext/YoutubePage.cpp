#include "browserext/YoutubePage.h"

#include "platform/automation/Variant.h"
#include "platform/base/Bstr.h"

namespace browserext {
namespace {

constexpr const char* container_id = "strimo_rssfetcher";
constexpr const char* watch_container = "<div id='strimo_rssfetcher' style='display:inline'></div>";
constexpr const char* feed_link_container = "<div id='strimo_rssfetcher' style='padding-left:4px'></div>";
// The maker's image server is not known; like the program's other unknown
// servers, the address reaches nothing rather than a guessed stranger's host.
constexpr const char* image_folder = "http://www.corvalen.invalid/strimo/images/";

std::string text_of(BSTR text)
{
    return plat::bstr_to_utf8(text);
}

plat::Bstr wide(const std::string& text)
{
    return plat::Bstr::from_utf8(text);
}

}

YoutubePage::YoutubePage(plat::ComPtr<IHTMLDocument2> document, plat::ComPtr<IHTMLDocument3> document3)
    : m_document(std::move(document)), m_document3(std::move(document3))
{
}

plat::ComPtr<IHTMLElement> YoutubePage::element(const char* id)
{
    plat::ComPtr<IHTMLElement> found;
    if (!m_document3 || FAILED(m_document3->getElementById(wide(id).get(), found.put())))
        return {};
    return found;
}

bool YoutubePage::is_watch_page()
{
    return static_cast<bool>(element("subscribeDiv"));
}

bool YoutubePage::is_handled()
{
    return static_cast<bool>(element(container_id));
}

plat::ComPtr<IHTMLElement> YoutubePage::find_element_by_class(const char* tag, const char* name)
{
    plat::ComPtr<IHTMLElementCollection> elements;
    LONG length = 0;
    if (!m_document3 || FAILED(m_document3->getElementsByTagName(wide(tag).get(), elements.put())) ||
        FAILED(elements->get_length(&length)))
        return {};
    for (LONG i = 0; i < length; ++i) {
        plat::Variant position;
        position->vt = VT_I4;
        position->lVal = i;
        plat::Variant no_index;
        plat::ComPtr<IDispatch> item;
        if (FAILED(elements->item(*position.get(), *no_index.get(), item.put())) || !item)
            continue;
        auto candidate = item.as<IHTMLElement>();
        plat::Bstr class_name;
        if (candidate && SUCCEEDED(candidate->get_className(class_name.out())) && class_name.utf8() == name)
            return candidate;
    }
    return {};
}

std::optional<std::string> YoutubePage::feed_link()
{
    auto anchor = find_element_by_class("a", "rsslink");
    plat::Variant href;
    if (!anchor || FAILED(anchor->getAttribute(wide("href").get(), 0, href.get())) || href->vt != VT_BSTR)
        return std::nullopt;
    return text_of(href->bstrVal);
}

std::string YoutubePage::feed_page_title()
{
    auto header = element("main-header");
    plat::Bstr title;
    if (!header || FAILED(header->get_innerText(title.out())))
        return "RSS From Youtube";
    std::string text = title.utf8();
    auto modifiers = element("time-slice-modifiers");
    plat::ComPtr<IHTMLDOMNode> sibling;
    if (!modifiers || FAILED(modifiers.as<IHTMLDOMNode>()->get_previousSibling(sibling.put())) || !sibling)
        return text;
    plat::Bstr slice;
    if (auto before = sibling.as<IHTMLElement>(); before && SUCCEEDED(before->get_innerText(slice.out())))
        text += "- " + slice.utf8();
    return text;
}

std::string YoutubePage::subscribe_link_html()
{
    const std::string images = image_folder;
    if (is_watch_page())
        return "<a href=\"javascript:if(RSSSubscribe(watchUsername)) alert('Subscribe Successfully!'); "
               "else alert('Subscribe Failed!');\" style=\"padding:6px 12px;background:transparent url(" +
               images + "subscribe.png) no-repeat scroll -2px 0;\"><span style='display:none'>tt</span></a>";
    return "<a style=\"background:transparent url(" + images +
           "subscribe_s.png) no-repeat scroll -2px 0; padding-left:16px\" "
           "href=\"javascript:if(RSSSubscribe(rss_feed_url)) alert('Subscribe Successfully!'); "
           "else alert('Subscribe Failed!');\">RSS To Strimo</a>";
}

HRESULT YoutubePage::insert_container()
{
    if (is_watch_page()) {
        auto anchor = element("subscribeDiv");
        plat::Bstr class_name;
        if (SUCCEEDED(anchor->get_className(class_name.out())) && class_name.utf8() == "hid")
            anchor = element("unsubscribeDiv");
        if (!anchor)
            return E_FAIL;
        return anchor->insertAdjacentHTML(wide("beforeEnd").get(), wide(watch_container).get());
    }
    auto anchor = find_element_by_class("a", "rsslink");
    if (!anchor)
        return E_FAIL;
    return anchor->insertAdjacentHTML(wide("afterEnd").get(), wide(feed_link_container).get());
}

HRESULT YoutubePage::set_subscribed_state(bool show)
{
    auto container = element(container_id);
    if (!show) {
        plat::ComPtr<IHTMLDOMNode> parent, removed;
        if (container && SUCCEEDED(container.as<IHTMLDOMNode>()->get_parentNode(parent.put())) && parent)
            return parent->removeChild(container.as<IHTMLDOMNode>().get(), removed.put());
        return S_OK;
    }
    if (!container) {
        if (FAILED(insert_container()))
            return E_FAIL;
        container = element(container_id);
        if (!container)
            return E_FAIL;
    }
    return container->put_innerHTML(wide(subscribe_link_html()).get());
}

}
