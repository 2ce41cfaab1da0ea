#pragma once
// The scripts of one page: one JScript engine per document, in which the
// page's inline scripts, the scripts of markup inserted later and the
// page's "javascript:" links run. Scripts see their own globals, `alert`
// (handed to the host) and nothing else of the page: no DOM, no network,
// and no `ActiveXObject` (the engine's untrusted-data safety stays on).

#include "platform/automation/Dispatch.h"
#include "platform/com/ComPtr.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

struct IActiveScript;

namespace plat::html {

class Node;

// What the page's `alert` shows, as UTF-8.
using AlertSink = std::function<void(const std::string& message)>;

class PageScripts {
public:
    // How long one script of the page may run before it is ended and the page
    // goes on without it (a browser asks the user about such a script).
    static constexpr std::chrono::milliseconds default_run_limit{5000};

    explicit PageScripts(AlertSink alert, std::chrono::milliseconds run_limit = default_run_limit);
    ~PageScripts();
    PageScripts(const PageScripts&) = delete;
    PageScripts& operator=(const PageScripts&) = delete;

    // Runs the page scripts inside `root` (itself included) in document
    // order. A script with a src is not fetched and not run; neither is one
    // of another language. Errors, and a script that ran out of its time, go
    // to the debug sink; the next script runs.
    void run_scripts_in(const Node& root);
    // Runs a "javascript:" address, percent-decoded as a browser does; any
    // other address is left alone (nothing is navigated to).
    void run_javascript_url(std::string_view url);
    // A new reference to the dispatch over the script globals; null once closed.
    HRESULT global_dispatch(IDispatch** out);
    // Closes the engine, letting go of every object the scripts hold (which
    // may hold the page in turn). Later runs do nothing.
    void close();

private:
    void run(std::string_view text);

    ComPtr<IActiveScript> m_engine;
};

}
