#include "platform/script/ScriptObjects.h"

#include "platform/base/Utf.h"
#include "platform/com/ComObject.h"
#include "platform/script/DukText.h"
#include "platform/script/ScriptRuntime.h"

#include <duktape.h>

#include <cstdio>
#include <vector>

namespace plat {

namespace {

constexpr const char* dispatch_key = "\xFF" "dispatch";
constexpr const char* handler_key = "\xFF" "dispatchHandler";

inline constexpr IID IID_IScriptOwnObject = make_guid("{3C1A4F7E-2B6D-4E55-9A0C-7E2D51B8F613}");

// Answered by the IDispatch over a script object, so that the object goes back
// into its own script as itself rather than as a proxy of a proxy.
struct IScriptOwnObject : IUnknown {
    static constexpr const IID& iid = IID_IScriptOwnObject;
    virtual ScriptRuntime* runtime() = 0;
    virtual int key() = 0;

protected:
    ~IScriptOwnObject() = default;
};

IDispatch* dispatch_of_target(duk_context* ctx, int index)
{
    duk_get_prop_string(ctx, index, dispatch_key);
    auto* d = static_cast<IDispatch*>(duk_get_pointer(ctx, -1));
    duk_pop(ctx);
    return d;
}

bool resolve(IDispatch* dispatch, std::u16string name, DISPID& id)
{
    LPOLESTR names[] = {name.data()};
    return SUCCEEDED(dispatch->GetIDsOfNames(GUID_NULL, names, 1, LOCALE_USER_DEFAULT, &id));
}

std::string describe(const char* what, HRESULT hr)
{
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
    std::string text = hresult_message(hr);
    return std::string(what) + " (" + code + (text.empty() ? "" : " " + text) + ")";
}

// A call of a member that is a method: obj.Name(args).
CallOutcome call_method_body(duk_context* ctx)
{
    const int count = duk_get_top(ctx);
    duk_push_current_function(ctx);
    duk_get_prop_string(ctx, -1, "\xFF" "target");
    IDispatch* dispatch = dispatch_of_target(ctx, -1);
    duk_get_prop_string(ctx, -2, "\xFF" "id");
    const DISPID id = duk_get_int(ctx, -1);
    duk_pop_3(ctx);
    if (!dispatch)
        return CallOutcome::fail(E_UNEXPECTED, "the object is gone");

    ScriptRuntime& runtime = ScriptRuntime::of(ctx);
    std::vector<VARIANT> args(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        VARIANT& slot = args[static_cast<std::size_t>(count - 1 - i)];
        VariantInit(&slot);
        runtime.to_variant(i, &slot);
    }
    DISPPARAMS params{args.data(), nullptr, static_cast<UINT>(count), 0};
    Variant result;
    HRESULT hr = dispatch->Invoke(id, GUID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result.get(),
                                  nullptr, nullptr);
    for (VARIANT& v : args)
        VariantClear(&v);
    if (FAILED(hr))
        return CallOutcome::fail(hr, describe("The method failed", hr));
    runtime.push_variant(*result.get());
    return {1};
}

duk_ret_t call_method(duk_context* ctx) { return finish_call(ctx, call_method_body(ctx)); }

// get trap (target, key, receiver)
CallOutcome get_body(duk_context* ctx)
{
    IDispatch* dispatch = dispatch_of_target(ctx, 0);
    DISPID id = 0;
    if (!dispatch || !duk_is_string(ctx, 1) || duk_is_symbol(ctx, 1) || !resolve(dispatch, get_utf16(ctx, 1), id)) {
        duk_push_undefined(ctx);
        return {1};
    }
    Variant result;
    DISPPARAMS none{};
    HRESULT hr = dispatch->Invoke(id, GUID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, result.get(),
                                  nullptr, nullptr);
    if (hr == DISP_E_MEMBERNOTFOUND) {
        duk_push_c_function(ctx, call_method, DUK_VARARGS);
        duk_dup(ctx, 0);
        duk_put_prop_string(ctx, -2, "\xFF" "target");
        duk_push_int(ctx, id);
        duk_put_prop_string(ctx, -2, "\xFF" "id");
        return {1};
    }
    if (FAILED(hr))
        return CallOutcome::fail(hr, describe("The property could not be read", hr));
    ScriptRuntime::of(ctx).push_variant(*result.get());
    return {1};
}

duk_ret_t get_trap(duk_context* ctx) { return finish_call(ctx, get_body(ctx)); }

// set trap (target, key, value, receiver)
CallOutcome set_body(duk_context* ctx)
{
    IDispatch* dispatch = dispatch_of_target(ctx, 0);
    DISPID id = 0;
    if (!dispatch || !duk_is_string(ctx, 1) || duk_is_symbol(ctx, 1) || !resolve(dispatch, get_utf16(ctx, 1), id))
        return CallOutcome::fail(DISP_E_UNKNOWNNAME, "Object doesn't support this property or method");
    Variant value;
    ScriptRuntime::of(ctx).to_variant(2, value.get());
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{value.get(), &named, 1, 1};
    HRESULT hr = dispatch->Invoke(id, GUID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr,
                                  nullptr, nullptr);
    if (hr == DISP_E_MEMBERNOTFOUND && value->vt == VT_DISPATCH)
        hr = dispatch->Invoke(id, GUID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUTREF, &params, nullptr,
                              nullptr, nullptr);
    if (FAILED(hr))
        return CallOutcome::fail(hr, describe("The property could not be written", hr));
    duk_push_true(ctx);
    return {1};
}

duk_ret_t set_trap(duk_context* ctx) { return finish_call(ctx, set_body(ctx)); }

duk_ret_t has_trap(duk_context* ctx)
{
    IDispatch* dispatch = dispatch_of_target(ctx, 0);
    DISPID id = 0;
    bool found = dispatch && duk_is_string(ctx, 1) && !duk_is_symbol(ctx, 1) && resolve(dispatch, get_utf16(ctx, 1), id);
    duk_push_boolean(ctx, found);
    return 1;
}

duk_ret_t release_target(duk_context* ctx)
{
    if (IDispatch* d = dispatch_of_target(ctx, 0)) {
        d->Release();
        duk_push_pointer(ctx, nullptr);
        duk_put_prop_string(ctx, 0, dispatch_key);
    }
    return 0;
}

void push_handler(duk_context* ctx)
{
    duk_push_heap_stash(ctx);
    if (!duk_get_prop_string(ctx, -1, handler_key)) {
        duk_pop(ctx);
        duk_push_object(ctx);
        duk_push_c_function(ctx, get_trap, 3);
        duk_put_prop_string(ctx, -2, "get");
        duk_push_c_function(ctx, set_trap, 4);
        duk_put_prop_string(ctx, -2, "set");
        duk_push_c_function(ctx, has_trap, 2);
        duk_put_prop_string(ctx, -2, "has");
        duk_dup_top(ctx);
        duk_put_prop_string(ctx, -3, handler_key);
    }
    duk_remove(ctx, -2);
}

// Value stack slots a call from COM into the script needs beyond its
// arguments. A call made while the script runs native code (a script calling a
// COM object that calls back) finds only what that native call reserved.
constexpr int call_stack_slots = 16;

class ScriptObjectDispatch final : public ComObject<IDispatch, IScriptOwnObject> {
public:
    ScriptObjectDispatch(std::shared_ptr<ScriptRuntime> runtime, int key) : m_runtime(std::move(runtime)), m_key(key) {}

    HRESULT GetTypeInfoCount(UINT* count) noexcept override { return no_type_info_count(count); }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo** info) noexcept override { return no_type_info(info); }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) noexcept override;
    HRESULT Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                   UINT*) noexcept override;

    ScriptRuntime* runtime() noexcept override { return m_runtime.get(); }
    int key() noexcept override { return m_key; }

private:
    // Released on another thread, the object stays kept until the heap goes.
    ~ScriptObjectDispatch() override
    {
        if (m_runtime->on_its_thread() && !m_runtime->closed())
            m_runtime->drop_kept(m_key);
    }

    std::shared_ptr<ScriptRuntime> m_runtime;
    int m_key;
};

// Safe-call bodies: a safe call opens no frame of its own, so its arguments
// are the topmost values, not the ones at index 0 (which, while a script runs
// native code that calls back, belong to that native call).
duk_ret_t has_value(duk_context* ctx, void*)
{
    duk_push_boolean(ctx, duk_has_prop(ctx, -2));
    return 1;
}

HRESULT ScriptObjectDispatch::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) noexcept
try {
    if (!names || !ids || count == 0)
        return E_POINTER;
    if (!m_runtime->on_its_thread())
        return RPC_E_WRONG_THREAD;
    if (m_runtime->closed())
        return E_UNEXPECTED;
    const ScriptRuntime::Entry entry(*m_runtime);   // a script's Proxy trap may run
    duk_context* ctx = m_runtime->context();
    if (!duk_check_stack(ctx, call_stack_slots))
        return E_OUTOFMEMORY;
    std::u16string name(names[0] ? names[0] : u"");
    const int base = duk_get_top(ctx);
    m_runtime->push_kept(m_key);
    push_utf16(ctx, name);
    // Protected: a script's Proxy may throw from its "has" trap.
    const bool found = duk_is_object(ctx, -2) && duk_safe_call(ctx, has_value, nullptr, 2, 1) == DUK_EXEC_SUCCESS &&
                       duk_get_boolean(ctx, -1);
    duk_set_top(ctx, base);
    HRESULT hr = found ? S_OK : DISP_E_UNKNOWNNAME;
    ids[0] = found ? m_runtime->dispid_of(name) : DISPID_UNKNOWN;
    for (UINT i = 1; i < count; ++i) {
        ids[i] = DISPID_UNKNOWN;
        hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

duk_ret_t get_value(duk_context* ctx, void*) { duk_get_prop(ctx, -2); return 1; }
duk_ret_t put_value(duk_context* ctx, void*) { duk_put_prop(ctx, -3); return 0; }

HRESULT ScriptObjectDispatch::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO*, UINT*) noexcept
try {
    if (!m_runtime->on_its_thread())
        return RPC_E_WRONG_THREAD;
    if (m_runtime->closed())
        return E_UNEXPECTED;
    const ScriptRuntime::Entry entry(*m_runtime);
    DISPPARAMS none{};
    DISPPARAMS& p = params ? *params : none;
    if (p.cArgs > 0 && !p.rgvarg)
        return E_INVALIDARG;
    const std::u16string* name = m_runtime->name_of(id);
    if (!name && id != DISPID_VALUE)
        return DISP_E_MEMBERNOTFOUND;
    if (result)
        VariantInit(result);

    duk_context* ctx = m_runtime->context();
    if (!duk_check_stack(ctx, call_stack_slots + static_cast<int>(p.cArgs)))
        return E_OUTOFMEMORY;
    const int base = duk_get_top(ctx);
    m_runtime->push_kept(m_key);   // [obj]
    int rc = DUK_EXEC_SUCCESS;
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        if (!name || p.cArgs != 1) {
            duk_set_top(ctx, base);
            return DISP_E_BADPARAMCOUNT;
        }
        push_utf16(ctx, *name);
        m_runtime->push_variant(p.rgvarg[0]);
        rc = duk_safe_call(ctx, put_value, nullptr, 3, 1);
    } else if ((flags & DISPATCH_METHOD) || !name) {
        if (name)
            push_utf16(ctx, *name);
        else
            duk_push_undefined(ctx);   // the object itself is called, with no this
        for (UINT i = p.cArgs; i-- > 0;)
            m_runtime->push_variant(p.rgvarg[i]);
        if (IActiveScriptSite* site = m_runtime->site())
            site->OnEnterScript();
        rc = name ? duk_pcall_prop(ctx, base, static_cast<int>(p.cArgs))
                  : duk_pcall_method(ctx, static_cast<int>(p.cArgs));
        if (IActiveScriptSite* site = m_runtime->site())
            site->OnLeaveScript();
    } else {
        push_utf16(ctx, *name);
        rc = duk_safe_call(ctx, get_value, nullptr, 2, 1);
    }
    HRESULT hr = S_OK;
    if (rc != DUK_EXEC_SUCCESS)
        hr = m_runtime->report_error();
    else if (result)
        hr = m_runtime->to_variant(-1, result);
    duk_set_top(ctx, base);
    return hr;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

class ScriptError final : public ComObject<IActiveScriptErrorDebug> {
public:
    explicit ScriptError(ScriptErrorInfo&& info) : m_info(std::move(info)) {}

    HRESULT GetExceptionInfo(EXCEPINFO* out) noexcept override
    {
        if (!out)
            return E_POINTER;
        *out = m_info.info;
        out->bstrSource = SysAllocStringLen(m_info.info.bstrSource, SysStringLen(m_info.info.bstrSource));
        out->bstrDescription = SysAllocStringLen(m_info.info.bstrDescription, SysStringLen(m_info.info.bstrDescription));
        out->bstrHelpFile = nullptr;
        return S_OK;
    }
    HRESULT GetSourcePosition(DWORD* source_context, ULONG* line, LONG* character) noexcept override
    {
        if (!m_info.has_position)
            return E_FAIL;
        if (source_context)
            *source_context = static_cast<DWORD>(m_info.source_context);
        if (line)
            *line = m_info.line;
        if (character)
            *character = m_info.character;
        return S_OK;
    }
    HRESULT GetSourceLineText(BSTR* line) noexcept override
    {
        if (!line)
            return E_POINTER;
        *line = nullptr;
        if (!m_info.has_position)
            return E_FAIL;
        *line = SysAllocStringLen(m_info.line_text.data(), static_cast<UINT>(m_info.line_text.size()));
        return *line ? S_OK : E_OUTOFMEMORY;
    }

private:
    ~ScriptError() override { clear_excepinfo(m_info.info); }

    ScriptErrorInfo m_info;
};

}

void push_dispatch_proxy(duk_context* ctx, IDispatch* dispatch)
{
    duk_push_object(ctx);
    dispatch->AddRef();
    duk_push_pointer(ctx, dispatch);
    duk_put_prop_string(ctx, -2, dispatch_key);
    duk_push_c_function(ctx, release_target, 2);
    duk_set_finalizer(ctx, -2);
    push_handler(ctx);
    duk_push_proxy(ctx, 0);
}

IDispatch* proxied_dispatch(duk_context* ctx, int index)
{
    if (!duk_is_object(ctx, index))
        return nullptr;
    return dispatch_of_target(ctx, index);
}

IDispatch* create_object_dispatch(const std::shared_ptr<ScriptRuntime>& runtime, int index)
{
    return new ScriptObjectDispatch(runtime, runtime->keep_object(index));
}

bool push_own_object(ScriptRuntime& runtime, IDispatch* dispatch)
{
    ComPtr<IScriptOwnObject> own;
    if (FAILED(dispatch->QueryInterface(IID_IScriptOwnObject, own.put_void())) || own->runtime() != &runtime)
        return false;
    runtime.push_kept(own->key());
    return true;
}

IActiveScriptError* create_script_error(ScriptErrorInfo&& info)
{
    return new ScriptError(std::move(info));
}

}
