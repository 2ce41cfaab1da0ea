#include "platform/script/ScriptRuntime.h"

#include "platform/base/DebugLog.h"
#include "platform/base/Utf.h"
#include "platform/script/DukText.h"
#include "platform/script/ScriptObjects.h"
#include "platform/script/WebObjects.h"

#include <duktape.h>

#include <cmath>
#include <cstdlib>
#include <string>

namespace plat {

namespace {

constexpr const char* runtime_key = "\xFF" "runtime";
constexpr const char* kept_key = "\xFF" "kept";
constexpr const char* block_prefix = "block:";

// JScript's numbers for the script errors it reports.
constexpr HRESULT scode_syntax = hresult(0x800A03EA);
constexpr HRESULT scode_undefined = hresult(0x800A1391);
constexpr HRESULT scode_type = hresult(0x800A01B6);
constexpr HRESULT scode_range = hresult(0x800A01C2);
constexpr HRESULT scode_thrown = hresult(0x800A139E);

void fatal(void*, const char* message)
{
    debug_log(std::string("script: fatal engine error: ") + (message ? message : ""));
    std::abort();
}

std::string string_prop(duk_context* ctx, int index, const char* key)
{
    duk_get_prop_string(ctx, index, key);
    std::string value = duk_is_undefined(ctx, -1) ? std::string() : get_utf8(ctx, -1);
    duk_pop(ctx);
    return value;
}

HRESULT scode_of(const std::string& name)
{
    if (name == "SyntaxError") return scode_syntax;
    if (name == "ReferenceError") return scode_undefined;
    if (name == "TypeError") return scode_type;
    if (name == "RangeError") return scode_range;
    return scode_thrown;
}

std::u16string line_of(std::u16string_view text, ULONG line)
{
    std::size_t start = 0;
    for (ULONG i = 0; i < line; ++i) {
        std::size_t next = text.find(u'\n', start);
        if (next == std::u16string_view::npos)
            return {};
        start = next + 1;
    }
    std::size_t end = text.find(u'\n', start);
    std::u16string_view found = text.substr(start, end == std::u16string_view::npos ? text.npos : end - start);
    if (!found.empty() && found.back() == u'\r')
        found.remove_suffix(1);
    return std::u16string(found);
}

// Getter of a named item: asks the site once, then keeps the object as a plain global.
CallOutcome named_item_body(duk_context* ctx)
{
    duk_push_current_function(ctx);
    duk_get_prop_string(ctx, -1, "\xFF" "name");
    const std::u16string name = get_utf16(ctx, -1);
    duk_pop_2(ctx);
    ScriptRuntime& runtime = ScriptRuntime::of(ctx);
    ComPtr<IUnknown> item;
    HRESULT hr = runtime.site() ? runtime.site()->GetItemInfo(name.c_str(), SCRIPTINFO_IUNKNOWN, item.put(), nullptr)
                                : E_UNEXPECTED;
    ComPtr<IDispatch> dispatch = SUCCEEDED(hr) ? item.as<IDispatch>() : ComPtr<IDispatch>();
    if (!dispatch) {
        std::string message = utf16_to_utf8(name);
        message.insert(message.begin(), '\'');
        message += "' is undefined";
        return CallOutcome::fail(FAILED(hr) ? hr : E_NOINTERFACE, message);
    }
    duk_push_global_object(ctx);
    push_utf16(ctx, name);
    push_dispatch_proxy(ctx, dispatch.get());
    duk_def_prop(ctx, -3, DUK_DEFPROP_HAVE_VALUE | DUK_DEFPROP_SET_WRITABLE | DUK_DEFPROP_SET_CONFIGURABLE |
                              DUK_DEFPROP_FORCE);
    push_utf16(ctx, name);
    duk_get_prop(ctx, -2);
    duk_remove(ctx, -2);
    return {1};
}

duk_ret_t named_item_getter(duk_context* ctx) { return finish_call(ctx, named_item_body(ctx)); }

}


std::shared_ptr<ScriptRuntime> ScriptRuntime::create()
{
    return std::shared_ptr<ScriptRuntime>(new ScriptRuntime());
}

ScriptRuntime::ScriptRuntime()
{
    m_ctx = duk_create_heap(nullptr, nullptr, nullptr, &m_clock, fatal);
    if (!m_ctx)
        throw std::bad_alloc();
    duk_push_heap_stash(m_ctx);
    duk_push_pointer(m_ctx, this);
    duk_put_prop_string(m_ctx, -2, runtime_key);
    duk_push_object(m_ctx);
    duk_put_prop_string(m_ctx, -2, kept_key);
    duk_pop(m_ctx);
    install_web_objects(m_ctx);
}

ScriptRuntime::~ScriptRuntime() { close(); }

ScriptRuntime& ScriptRuntime::of(duk_context* ctx)
{
    duk_push_heap_stash(ctx);
    duk_get_prop_string(ctx, -1, runtime_key);
    auto* runtime = static_cast<ScriptRuntime*>(duk_get_pointer(ctx, -1));
    duk_pop_2(ctx);
    return *runtime;
}

void ScriptRuntime::close()
{
    m_site.reset();
    // Finalizers run in the destruction and release the COM objects the
    // scripts held; the runtime already counts as closed while they run.
    if (duk_context* ctx = std::exchange(m_ctx, nullptr))
        duk_destroy_heap(ctx);
    m_blocks.clear();
}

bool ScriptRuntime::timed_out() const
{
    return m_entries > 0 && m_run_limit.count() > 0 && std::chrono::steady_clock::now() >= m_deadline;
}

ScriptRuntime::Entry::Entry(ScriptRuntime& runtime) : m_runtime(runtime)
{
    if (m_runtime.m_entries++ == 0)
        m_runtime.m_deadline = std::chrono::steady_clock::now() + m_runtime.m_run_limit;
}

ScriptRuntime::Entry::~Entry() { --m_runtime.m_entries; }

HRESULT ScriptRuntime::run(std::u16string_view text, DWORD_PTR source_context, ULONG starting_line)
{
    if (closed())
        return E_UNEXPECTED;
    const Entry entry(*this);
    m_blocks.push_back({source_context, starting_line, std::u16string(text)});
    const std::string file = block_prefix + std::to_string(m_blocks.size() - 1);
    const int base = duk_get_top(m_ctx);
    push_utf16(m_ctx, text);
    duk_push_string(m_ctx, file.c_str());
    if (m_site)
        m_site->OnEnterScript();
    int rc = duk_pcompile(m_ctx, 0);
    if (rc == DUK_EXEC_SUCCESS)
        rc = duk_pcall(m_ctx, 0);
    if (m_site)
        m_site->OnLeaveScript();
    HRESULT hr = rc == DUK_EXEC_SUCCESS ? S_OK : report_error();
    duk_set_top(m_ctx, base);
    return hr;
}

HRESULT ScriptRuntime::add_named_item(std::u16string_view name)
{
    if (closed())
        return E_UNEXPECTED;
    duk_push_global_object(m_ctx);
    push_utf16(m_ctx, name);
    duk_push_c_function(m_ctx, named_item_getter, 0);
    push_utf16(m_ctx, name);
    duk_put_prop_string(m_ctx, -2, "\xFF" "name");
    duk_def_prop(m_ctx, -3, DUK_DEFPROP_HAVE_GETTER | DUK_DEFPROP_SET_CONFIGURABLE | DUK_DEFPROP_FORCE);
    duk_pop(m_ctx);
    return S_OK;
}

HRESULT ScriptRuntime::global_dispatch(IDispatch** out)
{
    if (closed())
        return E_UNEXPECTED;
    duk_push_global_object(m_ctx);
    *out = create_object_dispatch(shared_from_this(), -1);
    duk_pop(m_ctx);
    return S_OK;
}

DISPID ScriptRuntime::dispid_of(std::u16string_view name)
{
    std::u16string key(name);
    auto found = m_dispids.find(key);
    if (found != m_dispids.end())
        return found->second;
    m_names.push_back(key);
    const auto id = static_cast<DISPID>(m_names.size());
    m_dispids.emplace(std::move(key), id);
    return id;
}

const std::u16string* ScriptRuntime::name_of(DISPID id) const
{
    if (id < 1 || static_cast<std::size_t>(id) > m_names.size())
        return nullptr;
    return &m_names[static_cast<std::size_t>(id) - 1];
}

void ScriptRuntime::push_variant(const VARIANT& value)
{
    switch (value.vt) {
    case VT_BYREF | VT_VARIANT: push_variant(*value.pvarVal); return;
    case VT_BYREF | VT_BSTR: push_utf16(m_ctx, {*value.pbstrVal ? *value.pbstrVal : u"", SysStringLen(*value.pbstrVal)}); return;
    case VT_BYREF | VT_I4: duk_push_int(m_ctx, *value.plVal); return;
    case VT_NULL: duk_push_null(m_ctx); return;
    case VT_I2: duk_push_int(m_ctx, value.iVal); return;
    case VT_I4: duk_push_int(m_ctx, value.lVal); return;
    case VT_UI4: duk_push_uint(m_ctx, value.ulVal); return;
    case VT_R8: duk_push_number(m_ctx, value.dblVal); return;
    case VT_BOOL: duk_push_boolean(m_ctx, value.boolVal != VARIANT_FALSE); return;
    case VT_BSTR: push_utf16(m_ctx, {value.bstrVal ? value.bstrVal : u"", SysStringLen(value.bstrVal)}); return;
    case VT_DISPATCH:
    case VT_UNKNOWN: {
        ComPtr<IDispatch> dispatch;
        if (value.punkVal)
            value.punkVal->QueryInterface(IID_IDispatch, dispatch.put_void());
        if (!dispatch)
            duk_push_null(m_ctx);
        else if (!push_own_object(*this, dispatch.get()))
            push_dispatch_proxy(m_ctx, dispatch.get());
        return;
    }
    default: duk_push_undefined(m_ctx); return;
    }
}

HRESULT ScriptRuntime::to_variant(int index, VARIANT* out)
{
    VariantInit(out);
    switch (duk_get_type(m_ctx, index)) {
    case DUK_TYPE_NULL: out->vt = VT_NULL; return S_OK;
    case DUK_TYPE_BOOLEAN:
        out->vt = VT_BOOL;
        out->boolVal = duk_get_boolean(m_ctx, index) ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    case DUK_TYPE_NUMBER: {
        double n = duk_get_number(m_ctx, index);
        if (n == std::trunc(n) && n >= -2147483648.0 && n <= 2147483647.0) {
            out->vt = VT_I4;
            out->lVal = static_cast<LONG>(n);
        } else {
            out->vt = VT_R8;
            out->dblVal = n;
        }
        return S_OK;
    }
    case DUK_TYPE_STRING: {
        std::u16string text = get_utf16(m_ctx, index);
        out->bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        out->vt = out->bstrVal ? VT_BSTR : VT_EMPTY;
        return out->bstrVal ? S_OK : E_OUTOFMEMORY;
    }
    case DUK_TYPE_OBJECT:
        out->vt = VT_DISPATCH;
        if (IDispatch* dispatch = proxied_dispatch(m_ctx, index)) {
            dispatch->AddRef();
            out->pdispVal = dispatch;
        } else {
            out->pdispVal = create_object_dispatch(shared_from_this(), index);
        }
        return S_OK;
    default: return S_OK;   // undefined and what has no VARIANT form stay VT_EMPTY
    }
}

void ScriptRuntime::scan_error(int index, ScriptErrorInfo& error)
{
    EXCEPINFO& info = error.info;
    std::string name, description, file;
    int line_number = 0;
    HRESULT number = 0;
    if (duk_is_error(m_ctx, index)) {
        name = string_prop(m_ctx, index, "name");
        description = string_prop(m_ctx, index, "message");
        file = string_prop(m_ctx, index, "fileName");
        duk_get_prop_string(m_ctx, index, "lineNumber");
        line_number = duk_get_int_default(m_ctx, -1, 0);
        duk_pop(m_ctx);
        if (duk_get_prop_string(m_ctx, index, "number") && duk_is_number(m_ctx, -1))
            number = static_cast<HRESULT>(static_cast<std::int64_t>(duk_get_number(m_ctx, -1)));
        duk_pop(m_ctx);
    } else {
        description = get_utf8(m_ctx, index);
    }
    info.scode = number != 0 ? number : scode_of(name);
    info.bstrSource = Bstr::from_utf8(name == "SyntaxError" ? "JScript compilation error" : "JScript runtime error").detach();
    info.bstrDescription = Bstr::from_utf8(description).detach();
    if (file.rfind(block_prefix, 0) == 0 && line_number > 0) {
        const std::size_t block = std::strtoul(file.c_str() + std::char_traits<char>::length(block_prefix), nullptr, 10);
        if (block < m_blocks.size()) {
            const Block& b = m_blocks[block];
            error.source_context = b.source_context;
            error.line = (b.starting_line > 0 ? b.starting_line - 1 : 0) + static_cast<ULONG>(line_number - 1);
            error.line_text = line_of(b.text, static_cast<ULONG>(line_number - 1));
            error.has_position = true;
        }
    }
}

HRESULT ScriptRuntime::report_error()
{
    ScriptErrorInfo error;
    scan_error(-1, error);
    const std::string description = bstr_to_utf8(error.info.bstrDescription);
    auto report = ComPtr<IActiveScriptError>::adopt(create_script_error(std::move(error)));
    if (m_site)
        m_site->OnScriptError(report.get());
    else
        debug_log("script: error without a site: " + description);
    return SCRIPT_E_REPORTED;
}

int ScriptRuntime::keep_object(int index)
{
    const int key = m_next_key++;
    duk_dup(m_ctx, index);
    duk_push_heap_stash(m_ctx);
    duk_get_prop_string(m_ctx, -1, kept_key);
    duk_dup(m_ctx, -3);
    duk_put_prop_index(m_ctx, -2, static_cast<duk_uarridx_t>(key));
    duk_pop_3(m_ctx);
    return key;
}

void ScriptRuntime::push_kept(int key)
{
    duk_push_heap_stash(m_ctx);
    duk_get_prop_string(m_ctx, -1, kept_key);
    duk_get_prop_index(m_ctx, -1, static_cast<duk_uarridx_t>(key));
    duk_remove(m_ctx, -2);
    duk_remove(m_ctx, -2);
}

void ScriptRuntime::drop_kept(int key)
{
    duk_push_heap_stash(m_ctx);
    duk_get_prop_string(m_ctx, -1, kept_key);
    duk_del_prop_index(m_ctx, -1, static_cast<duk_uarridx_t>(key));
    duk_pop_2(m_ctx);
}

}
