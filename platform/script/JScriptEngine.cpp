#include "platform/script/JScriptEngine.h"

#include "platform/base/Utf.h"
#include "platform/script/ScriptRuntime.h"

#include <new>

namespace plat {

namespace {
constexpr DWORD supported_safety = INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;
}

JScriptEngine::JScriptEngine() : m_runtime(ScriptRuntime::create()) {}

// A last release on another thread leaves the heap to the last holder of
// the runtime: a dispatch still held on the engine's thread may be in a call.
JScriptEngine::~JScriptEngine()
{
    if (m_runtime->on_its_thread())
        m_runtime->close();
}

void JScriptEngine::set_run_limit(std::chrono::milliseconds limit) { m_runtime->set_run_limit(limit); }

void JScriptEngine::change_state(SCRIPTSTATE state)
{
    m_state = state;
    if (IActiveScriptSite* site = m_runtime->site())
        site->OnStateChange(state);
}

HRESULT JScriptEngine::SetScriptSite(IActiveScriptSite* site) noexcept
{
    if (!m_runtime->on_its_thread())
        return RPC_E_WRONG_THREAD;
    if (!site)
        return E_POINTER;
    if (m_runtime->closed() || m_runtime->site())
        return E_UNEXPECTED;
    m_runtime->set_site(site);
    change_state(SCRIPTSTATE_INITIALIZED);
    return S_OK;
}

HRESULT JScriptEngine::SetScriptState(SCRIPTSTATE state) noexcept
{
    if (!m_runtime->on_its_thread())
        return RPC_E_WRONG_THREAD;
    if (m_runtime->closed() || !m_runtime->site())
        return E_UNEXPECTED;
    switch (state) {
    case SCRIPTSTATE_INITIALIZED:
    case SCRIPTSTATE_STARTED:
    case SCRIPTSTATE_CONNECTED:
    case SCRIPTSTATE_DISCONNECTED:
        change_state(state);
        return S_OK;
    case SCRIPTSTATE_CLOSED:
        return Close();
    default:
        return E_INVALIDARG;
    }
}

HRESULT JScriptEngine::Close() noexcept
{
    if (!m_runtime->on_its_thread())
        return RPC_E_WRONG_THREAD;
    if (m_runtime->closed())
        return S_OK;
    change_state(SCRIPTSTATE_CLOSED);
    m_runtime->close();
    return S_OK;
}

HRESULT JScriptEngine::AddNamedItem(LPCOLESTR name, DWORD flags) noexcept
try {
    if (!m_runtime->on_its_thread())
        return RPC_E_WRONG_THREAD;
    if (!name || !*name)
        return E_INVALIDARG;
    if (m_runtime->closed())
        return E_UNEXPECTED;
    return (flags & SCRIPTITEM_ISVISIBLE) ? m_runtime->add_named_item(std::u16string_view(name, wide_length(name)))
                                          : S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT JScriptEngine::GetScriptDispatch(LPCOLESTR item, IDispatch** dispatch) noexcept
try {
    if (!m_runtime->on_its_thread())
        return RPC_E_WRONG_THREAD;
    if (!dispatch)
        return E_POINTER;
    *dispatch = nullptr;
    if (item && *item)
        return E_NOTIMPL;   // the dispatch of a named item's own module: nobody asks for it
    return m_runtime->global_dispatch(dispatch);
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT JScriptEngine::InitNew() noexcept
{
    if (!m_runtime->on_its_thread())
        return RPC_E_WRONG_THREAD;
    return m_runtime->closed() ? E_UNEXPECTED : S_OK;
}

HRESULT JScriptEngine::ParseScriptText(LPCOLESTR code, LPCOLESTR, IUnknown*, LPCOLESTR, DWORD_PTR source_context,
                                       ULONG starting_line, DWORD, VARIANT* result, EXCEPINFO*) noexcept
try {
    if (!m_runtime->on_its_thread())
        return RPC_E_WRONG_THREAD;
    if (!code)
        return E_POINTER;
    if (result)
        VariantInit(result);
    return m_runtime->run(std::u16string_view(code, wide_length(code)), source_context, starting_line);
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT JScriptEngine::GetInterfaceSafetyOptions(REFIID, DWORD* supported, DWORD* enabled) noexcept
{
    if (!supported || !enabled)
        return E_POINTER;
    *supported = supported_safety;
    *enabled = m_safety;
    return S_OK;
}

HRESULT JScriptEngine::SetInterfaceSafetyOptions(REFIID, DWORD mask, DWORD enabled) noexcept
{
    if (!m_runtime->on_its_thread())
        return RPC_E_WRONG_THREAD;
    if (mask & ~supported_safety)
        return E_FAIL;
    m_safety = (m_safety & ~mask) | (enabled & mask);
    m_runtime->allow_object_creation(!(m_safety & INTERFACESAFE_FOR_UNTRUSTED_DATA));
    return S_OK;
}

}
