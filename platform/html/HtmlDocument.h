#pragma once
// The HTML document class: a document written with `write`, walked and
// changed through its elements. Nothing is fetched, and no script runs
// unless its host asks for the page's scripts.

#include "platform/com/ComObject.h"
#include "platform/com/ComPtr.h"
#include "platform/html/HtmlInterfaces.h"
#include "platform/html/NamelessDispatch.h"
#include "platform/html/PageScripts.h"

#include <memory>
#include <string>
#include <string_view>

namespace plat::html {

struct DocumentTree;

class HtmlDocument final : public NamelessDispatch<ComObject<IHTMLDocument2, IHTMLDocument3>> {
public:
    HtmlDocument();

    // The page's address, against which its links are read.
    void set_url(std::string url);
    // Makes the document run its page's scripts, as a browser's does: called
    // before the first write, whose inline scripts then run in document order
    // once the page is parsed. Later writes parse the whole source again but
    // run nothing, so no script runs twice. Each run of a script (at load, an
    // inserted one, a "javascript:" link, a call through get_Script) may last
    // `run_limit`; then it is ended and the page goes on without it.
    void enable_scripts(AlertSink alert, std::chrono::milliseconds run_limit = PageScripts::default_run_limit);
    // Closes the page's scripts, letting go of what they hold (the objects a
    // host put into them may hold this document). Called when the page goes.
    void close_scripts();

    // The first element the selector matches (Selector.h); null when none.
    ComPtr<IHTMLElement> first_element_matching(std::string_view selector);
    // The whole document as markup.
    std::string markup() const;

    HRESULT get_Script(IDispatch** script) noexcept override;
    HRESULT write(SAFEARRAY* texts) noexcept override;
    HRESULT get_body(IHTMLElement** body) noexcept override;
    HRESULT getElementsByTagName(BSTR name, IHTMLElementCollection** elements) noexcept override;
    HRESULT getElementById(BSTR id, IHTMLElement** element) noexcept override;

private:
    ~HtmlDocument() override;

    std::string m_source;              // every text written so far
    std::shared_ptr<DocumentTree> m_tree;   // elements handed out share it
    std::shared_ptr<PageScripts> m_scripts;   // null: the page's scripts do not run
};

}
