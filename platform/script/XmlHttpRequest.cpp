// The XMLHTTP stand-in: synchronous requests over libcurl, http and https
// only, with a time-out (the object's "timeout" property, milliseconds). A
// thread whose call is cancelled (CoCancelCall) gives its transfer up within
// about a second, so nobody who stops it waits for the time-out.

#include "platform/base/AsciiCase.h"
#include "platform/base/HResult.h"
#include "platform/com/Com.h"
#include "platform/net/WebTransfer.h"
#include "platform/script/DukText.h"
#include "platform/script/WebObjects.h"

#include <curl/curl.h>
#include <duktape.h>

#include <memory>
#include <string>
#include <vector>

namespace plat {

namespace {

constexpr const char* request_key = "\xFF" "request";
constexpr const char* response_xml_key = "\xFF" "responseXML";
constexpr double default_timeout_ms = 30000;
constexpr std::size_t max_response = 32u << 20;   // a feed is far smaller; more is refused

struct Request {
    std::string method;
    std::string url;
    std::vector<std::string> headers;
    bool opened{false};
    bool answered{false};
    std::string body;           // the response's bytes as they came
    std::string content_type;   // the response's Content-Type, "" when none came
};

struct CurlHeaders {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

Request* request_of(duk_context* ctx)
{
    duk_push_this(ctx);
    duk_get_prop_string(ctx, -1, request_key);
    auto* r = static_cast<Request*>(duk_get_pointer(ctx, -1));
    duk_pop_2(ctx);
    return r;
}

CallOutcome open_body(duk_context* ctx)
{
    Request* r = request_of(ctx);
    if (!r)
        return CallOutcome::fail(E_UNEXPECTED, "not an XMLHTTP object");
    if (duk_to_boolean(ctx, 2))
        return CallOutcome::fail(E_NOTIMPL, "XMLHTTP: only synchronous requests are offered");
    std::string url = get_utf8(ctx, 1);
    if (!starts_with_nocase(url, "http://") && !starts_with_nocase(url, "https://"))
        return CallOutcome::fail(E_ACCESSDENIED, "XMLHTTP: only http and https addresses are fetched");
    r->method = get_utf8(ctx, 0);
    r->url = std::move(url);
    r->headers.clear();
    r->opened = true;
    r->answered = false;
    r->body.clear();
    r->content_type.clear();
    duk_push_this(ctx);
    duk_push_int(ctx, 1);
    duk_put_prop_string(ctx, -2, "readyState");
    duk_pop(ctx);
    return {0};
}

CallOutcome set_header_body(duk_context* ctx)
{
    Request* r = request_of(ctx);
    if (!r || !r->opened)
        return CallOutcome::fail(E_UNEXPECTED, "XMLHTTP: open must come first");
    std::string name = get_utf8(ctx, 0), value = get_utf8(ctx, 1);
    if (name.empty() || name.find_first_of("\r\n:") != std::string::npos || value.find_first_of("\r\n") != std::string::npos)
        return CallOutcome::fail(E_INVALIDARG, "XMLHTTP: malformed request header");
    r->headers.push_back(name + ": " + value);
    return {0};
}

std::size_t collect(char* data, std::size_t size, std::size_t count, void* user)
{
    auto* body = static_cast<std::string*>(user);
    const std::size_t n = size * count;
    if (body->size() + n > max_response)
        return 0;   // curl fails the transfer
    body->append(data, n);
    return n;
}

// libcurl asks about once a second even while nothing arrives.
int keep_going(void*, curl_off_t, curl_off_t, curl_off_t, curl_off_t) noexcept
{
    return CoTestCancel() == RPC_E_CALL_CANCELED ? 1 : 0;
}

CallOutcome cancelled(const std::string& url)
{
    return CallOutcome::fail(E_ABORT, "XMLHTTP: the transfer was cancelled: " + url);
}

CallOutcome send_body(duk_context* ctx)
{
    Request* r = request_of(ctx);
    if (!r || !r->opened)
        return CallOutcome::fail(E_UNEXPECTED, "XMLHTTP: open must come first");
    const std::string payload = duk_is_null_or_undefined(ctx, 0) ? std::string() : get_utf8(ctx, 0);
    duk_push_this(ctx);
    duk_get_prop_string(ctx, -1, "timeout");
    const double timeout = duk_is_number(ctx, -1) && duk_get_number(ctx, -1) > 0 ? duk_get_number(ctx, -1) : default_timeout_ms;
    duk_pop_2(ctx);

    EasyHandle easy = open_web_transfer(r->url);
    std::unique_ptr<curl_slist, CurlHeaders> headers;
    for (const std::string& h : r->headers) {
        curl_slist* grown = curl_slist_append(headers.get(), h.c_str());
        if (!grown)
            return CallOutcome::fail(E_OUTOFMEMORY, "XMLHTTP: no memory for the headers");
        (void)headers.release();   // grown is the same list, one longer
        headers.reset(grown);
    }
    if (!easy)
        return CallOutcome::fail(E_OUTOFMEMORY, "XMLHTTP: no transfer handle");
    if (CoTestCancel() == RPC_E_CALL_CANCELED)
        return cancelled(r->url);
    std::string body;
    CURL* c = easy.get();
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, static_cast<long>(timeout));
    curl_easy_setopt(c, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, collect);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &body);
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, keep_going);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    if (r->method == "POST" || !payload.empty()) {
        curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE, static_cast<long>(payload.size()));
        curl_easy_setopt(c, CURLOPT_POSTFIELDS, payload.c_str());
    }
    if (r->method != "GET" && r->method != "POST")
        curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, r->method.c_str());
    const CURLcode rc = curl_easy_perform(c);
    if (rc == CURLE_ABORTED_BY_CALLBACK)
        return cancelled(r->url);
    if (rc != CURLE_OK)
        return CallOutcome::fail(rc == CURLE_OPERATION_TIMEDOUT ? hresult(0x800C000E) : hresult(0x800C0005),
                                 std::string("XMLHTTP: ") + curl_easy_strerror(rc) + ": " + r->url);
    long status = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
    const char* content_type = nullptr;
    curl_easy_getinfo(c, CURLINFO_CONTENT_TYPE, &content_type);
    r->content_type = content_type ? content_type : "";
    r->body = std::move(body);
    r->answered = true;

    duk_push_this(ctx);
    duk_del_prop_string(ctx, -1, response_xml_key);
    duk_push_int(ctx, static_cast<int>(status));
    duk_put_prop_string(ctx, -2, "status");
    push_utf8(ctx, r->body);
    duk_put_prop_string(ctx, -2, "responseText");
    duk_push_int(ctx, 4);
    duk_put_prop_string(ctx, -2, "readyState");
    duk_pop(ctx);
    return {0};
}

// The charset parameter of a Content-Type ("text/xml; charset=\"ISO-8859-1\""), "" when there is none.
std::string charset_of(std::string_view content_type)
{
    for (std::size_t at = content_type.find(';'); at != std::string_view::npos; at = content_type.find(';', at + 1)) {
        std::string_view parameter = content_type.substr(at + 1);
        parameter = parameter.substr(0, parameter.find(';'));
        while (!parameter.empty() && (parameter.front() == ' ' || parameter.front() == '\t'))
            parameter.remove_prefix(1);
        if (!starts_with_nocase(parameter, "charset="))
            continue;
        std::string_view value = parameter.substr(8);
        while (!value.empty() && (value.back() == ' ' || value.back() == '\t'))
            value.remove_suffix(1);
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        return std::string(value);
    }
    return {};
}

// The response as a document, parsed once from its bytes: their own
// byte-order mark, else the server's charset, else the document's declaration.
CallOutcome response_xml_body(duk_context* ctx)
{
    Request* r = request_of(ctx);
    if (!r || !r->answered) {
        duk_push_null(ctx);
        return {1};
    }
    duk_push_this(ctx);
    if (duk_get_prop_string(ctx, -1, response_xml_key)) {
        duk_remove(ctx, -2);
        return {1};
    }
    duk_pop(ctx);
    const CallOutcome parsed = push_xml_document_from(ctx, r->body, charset_of(r->content_type));
    if (parsed.number != 0)
        return parsed;
    duk_dup_top(ctx);
    duk_put_prop_string(ctx, -3, response_xml_key);
    duk_remove(ctx, -2);
    return {1};
}

duk_ret_t response_xml(duk_context* ctx) { return finish_call(ctx, response_xml_body(ctx)); }
duk_ret_t open(duk_context* ctx) { return finish_call(ctx, open_body(ctx)); }
duk_ret_t set_header(duk_context* ctx) { return finish_call(ctx, set_header_body(ctx)); }
duk_ret_t send(duk_context* ctx) { return finish_call(ctx, send_body(ctx)); }

duk_ret_t finalize(duk_context* ctx)
{
    duk_get_prop_string(ctx, 0, request_key);
    delete static_cast<Request*>(duk_get_pointer(ctx, -1));
    duk_pop(ctx);
    duk_push_pointer(ctx, nullptr);
    duk_put_prop_string(ctx, 0, request_key);
    return 0;
}

}

void push_xml_http_request(duk_context* ctx)
{
    duk_push_object(ctx);
    duk_push_c_function(ctx, finalize, 2);
    duk_set_finalizer(ctx, -2);
    duk_push_pointer(ctx, new Request());
    duk_put_prop_string(ctx, -2, request_key);
    const duk_function_list_entry methods[] = {
        {"open", open, 3}, {"setRequestHeader", set_header, 2}, {"send", send, 1}, {nullptr, nullptr, 0}};
    duk_put_function_list(ctx, -1, methods);
    duk_push_int(ctx, 0);
    duk_put_prop_string(ctx, -2, "readyState");
    duk_push_int(ctx, 0);
    duk_put_prop_string(ctx, -2, "status");
    duk_push_string(ctx, "");
    duk_put_prop_string(ctx, -2, "responseText");
    duk_push_number(ctx, default_timeout_ms);
    duk_put_prop_string(ctx, -2, "timeout");
    duk_push_string(ctx, "responseXML");
    duk_push_c_function(ctx, response_xml, 0);
    duk_def_prop(ctx, -3, DUK_DEFPROP_HAVE_GETTER);
}

}
