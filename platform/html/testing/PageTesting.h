#pragma once
// Test support: a document loaded from markup under a page address, as a
// browser would hold it, for the tests of whatever reads or changes pages.

#include "platform/automation/testing/AutomationTesting.h"
#include "platform/com/ComPtr.h"
#include "platform/html/HtmlDocument.h"

#include <string>

namespace plat::html {

// Null when the document refused the markup.
inline ComPtr<HtmlDocument> load_page(const std::string& html, const std::string& url)
{
    auto document = ComPtr<HtmlDocument>::adopt(new HtmlDocument);
    document->set_url(url);
    SAFEARRAY* texts = SafeArrayCreateVector(VT_VARIANT, 0, 1);
    VARIANT* elements = nullptr;
    SafeArrayAccessData(texts, reinterpret_cast<void**>(&elements));
    elements[0] = bstr_variant(html);
    SafeArrayUnaccessData(texts);
    const HRESULT written = document->write(texts);
    SafeArrayDestroy(texts);
    return SUCCEEDED(written) ? document : ComPtr<HtmlDocument>();
}

}
