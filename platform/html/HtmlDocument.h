#pragma once
// The HTML document class: a document written with `write`, walked and
// changed through its elements. No script runs and nothing is fetched.

#include "platform/com/ComObject.h"
#include "platform/html/HtmlInterfaces.h"
#include "platform/html/NamelessDispatch.h"

#include <memory>
#include <string>

namespace plat::html {

struct DocumentTree;

class HtmlDocument final : public NamelessDispatch<ComObject<IHTMLDocument2, IHTMLDocument3>> {
public:
    HtmlDocument();

    // The page's address, against which its links are read.
    void set_url(std::string url);

    HRESULT write(SAFEARRAY* texts) noexcept override;
    HRESULT get_body(IHTMLElement** body) noexcept override;
    HRESULT getElementsByTagName(BSTR name, IHTMLElementCollection** elements) noexcept override;
    HRESULT getElementById(BSTR id, IHTMLElement** element) noexcept override;

private:
    ~HtmlDocument() override;

    std::string m_source;              // every text written so far
    std::shared_ptr<DocumentTree> m_tree;   // elements handed out share it
};

}
