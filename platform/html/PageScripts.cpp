#include "platform/html/PageScripts.h"

#include "platform/automation/DispatchTable.h"
#include "platform/base/DebugLog.h"
#include "platform/base/Utf.h"
#include "platform/com/ComObject.h"
#include "platform/html/HtmlTree.h"
#include "platform/script/JScriptEngine.h"

#include <algorithm>
#include <cassert>
#include <cctype>
#include <vector>

namespace plat::html {

namespace {

constexpr const char16_t* window_name = u"window";
// `alert` is a global function of the page, as in a browser; it hands its
// text to the window object, which the host receives.
constexpr const char* prelude =
    "function alert(message) { window.alert(arguments.length ? String(message) : ''); }";
constexpr std::string_view javascript_scheme = "javascript:";

inline constexpr IID IID_IPageWindow = make_guid("{6C1D7F2A-3B84-4E55-9A0C-2F1E8D4B7A63}");

struct IPageWindow : IDispatch {
    using base = IDispatch;
    static constexpr const IID& iid = IID_IPageWindow;
    virtual HRESULT alert(BSTR message) = 0;

protected:
    ~IPageWindow() = default;
};

class PageWindow final : public ComObject<DispatchImpl<IPageWindow, PageWindow>> {
public:
    explicit PageWindow(AlertSink alert) : m_alert(std::move(alert)) {}

    static std::span<const DispatchEntry<PageWindow>> dispatch_table()
    {
        static const DispatchEntry<PageWindow> table[] = {dispatch_method<&PageWindow::alert>(u"alert", 1)};
        return table;
    }

    HRESULT alert(BSTR message) noexcept override try {
        if (m_alert)
            m_alert(bstr_to_utf8(message));
        return S_OK;
    } catch (const std::exception&) {
        return E_FAIL;
    }

private:
    ~PageWindow() override = default;
    AlertSink m_alert;
};

class PageSite final : public ComObject<IActiveScriptSite> {
public:
    explicit PageSite(ComPtr<PageWindow> window) : m_window(std::move(window)) {}

    HRESULT GetLCID(LCID*) noexcept override { return E_NOTIMPL; }
    HRESULT GetItemInfo(LPCOLESTR name, DWORD mask, IUnknown** item, ITypeInfo** info) noexcept override
    {
        if (info)
            *info = nullptr;
        if (!name || std::u16string_view(name, wide_length(name)) != window_name)
            return TYPE_E_ELEMENTNOTFOUND;
        if ((mask & SCRIPTINFO_IUNKNOWN) && item)
            *item = ComPtr<IUnknown>(static_cast<IPageWindow*>(m_window.get())).detach();
        return S_OK;
    }
    HRESULT GetDocVersionString(BSTR*) noexcept override { return E_NOTIMPL; }
    HRESULT OnScriptTerminate(const VARIANT*, const EXCEPINFO*) noexcept override { return S_OK; }
    HRESULT OnStateChange(SCRIPTSTATE) noexcept override { return S_OK; }
    HRESULT OnScriptError(IActiveScriptError* error) noexcept override try {
        EXCEPINFO info{};
        std::string text = "page script error";
        if (SUCCEEDED(error->GetExceptionInfo(&info))) {
            text += ": " + bstr_to_utf8(info.bstrDescription);
            clear_excepinfo(info);
        }
        DWORD context = 0;
        ULONG line = 0;
        LONG character = 0;
        if (SUCCEEDED(error->GetSourcePosition(&context, &line, &character)))
            text += " (line " + std::to_string(line + 1) + ")";
        debug_log(text);
        return S_OK;
    } catch (const std::exception&) {
        return S_OK;
    }
    HRESULT OnEnterScript() noexcept override { return S_OK; }
    HRESULT OnLeaveScript() noexcept override { return S_OK; }

private:
    ~PageSite() override = default;
    ComPtr<PageWindow> m_window;
};

bool is_script_language(const std::string* value, std::initializer_list<std::string_view> accepted)
{
    if (!value || value->empty())
        return true;
    std::string lower = *value;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    return std::find(accepted.begin(), accepted.end(), lower) != accepted.end();
}

// Inline JScript: no src (nothing is fetched), and no other language or data type.
bool is_page_script(const Node& node)
{
    return node.kind() == NodeKind::Element && node.name() == "script" && !node.attribute("src") &&
           is_script_language(node.attribute("type"), {"text/javascript", "text/jscript", "application/javascript",
                                                        "application/x-javascript", "text/ecmascript"}) &&
           is_script_language(node.attribute("language"), {"javascript", "jscript", "ecmascript"});
}

void collect_scripts(const Node& root, std::vector<std::string>& texts)
{
    std::vector<const Node*> pending{&root};
    while (!pending.empty()) {
        const Node* node = pending.back();
        pending.pop_back();
        if (is_page_script(*node)) {
            std::string text;
            for (const auto& child : node->children())
                text += child->text();
            texts.push_back(std::move(text));
        }
        for (auto child = node->children().rbegin(); child != node->children().rend(); ++child)
            pending.push_back(child->get());
    }
}

int hex_digit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// "%XX" becomes its byte; a "%" not followed by two hex digits stays as it is.
std::string percent_decoded(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const int high = text[i] == '%' && i + 2 < text.size() ? hex_digit(text[i + 1]) : -1;
        const int low = high >= 0 ? hex_digit(text[i + 2]) : -1;
        if (low >= 0) {
            out += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

}

PageScripts::PageScripts(AlertSink alert, std::chrono::milliseconds run_limit)
{
    auto engine = ComPtr<JScriptEngine>::adopt(new JScriptEngine());
    engine->set_run_limit(run_limit);
    auto window = ComPtr<PageWindow>::adopt(new PageWindow(std::move(alert)));
    auto site = ComPtr<PageSite>::adopt(new PageSite(window));
    // A fresh engine takes a site and an item whatever it is given.
    [[maybe_unused]] const bool ready = SUCCEEDED(engine->SetScriptSite(site.get())) &&
                                        SUCCEEDED(engine->AddNamedItem(window_name, SCRIPTITEM_ISVISIBLE)) &&
                                        SUCCEEDED(engine->SetScriptState(SCRIPTSTATE_CONNECTED));
    assert(ready);
    m_engine = ComPtr<IActiveScript>(static_cast<IActiveScript*>(engine.get()));
    run(prelude);
}

PageScripts::~PageScripts() { close(); }

void PageScripts::run(std::string_view text)
{
    auto parse = m_engine ? m_engine.as<IActiveScriptParse>() : ComPtr<IActiveScriptParse>();
    if (!parse)
        return;
    const std::u16string code = utf8_to_utf16(text);
    // Errors have been reported to the site; the page goes on.
    parse->ParseScriptText(code.c_str(), nullptr, nullptr, nullptr, 0, 0, SCRIPTTEXT_ISVISIBLE, nullptr, nullptr);
}

void PageScripts::run_scripts_in(const Node& root)
{
    // Collected first: a script's run must not meet a tree that changed under the walk.
    std::vector<std::string> texts;
    collect_scripts(root, texts);
    for (const auto& text : texts)
        run(text);
}

void PageScripts::run_javascript_url(std::string_view url)
{
    while (!url.empty() && std::isspace(static_cast<unsigned char>(url.front())))
        url.remove_prefix(1);
    if (url.size() < javascript_scheme.size() ||
        !std::equal(javascript_scheme.begin(), javascript_scheme.end(), url.begin(),
                    [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); }))
        return;
    run(percent_decoded(url.substr(javascript_scheme.size())));
}

HRESULT PageScripts::global_dispatch(IDispatch** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    return m_engine ? m_engine->GetScriptDispatch(nullptr, out) : E_UNEXPECTED;
}

void PageScripts::close()
{
    if (m_engine)
        m_engine->Close();
    m_engine.reset();
}

}
