#pragma once
// The JScript engine of Active Scripting, over Duktape (ES5.1): the host sets
// its site, adds named items, parses script texts (each runs at once, whatever
// the state) and reaches the script's globals through GetScriptDispatch.

#include "platform/com/ComObject.h"
#include "platform/script/ActiveScript.h"

#include <chrono>
#include <memory>

namespace plat {

class ScriptRuntime;

class JScriptEngine final : public ComObject<IActiveScript, IActiveScriptParse, IObjectSafety> {
public:
    JScriptEngine();

    HRESULT SetScriptSite(IActiveScriptSite* site) noexcept override;
    HRESULT SetScriptState(SCRIPTSTATE state) noexcept override;
    HRESULT Close() noexcept override;
    HRESULT AddNamedItem(LPCOLESTR name, DWORD flags) noexcept override;
    HRESULT GetScriptDispatch(LPCOLESTR item, IDispatch** dispatch) noexcept override;

    HRESULT InitNew() noexcept override;
    HRESULT ParseScriptText(LPCOLESTR code, LPCOLESTR item, IUnknown* context, LPCOLESTR delimiter,
                            DWORD_PTR source_context, ULONG starting_line, DWORD flags, VARIANT* result,
                            EXCEPINFO* info) noexcept override;

    // How long one run of the scripts may take (ScriptRuntime::set_run_limit); zero: no limit.
    void set_run_limit(std::chrono::milliseconds limit);

    HRESULT GetInterfaceSafetyOptions(REFIID iid, DWORD* supported, DWORD* enabled) noexcept override;
    HRESULT SetInterfaceSafetyOptions(REFIID iid, DWORD mask, DWORD enabled) noexcept override;

private:
    ~JScriptEngine() override;
    void change_state(SCRIPTSTATE state);

    std::shared_ptr<ScriptRuntime> m_runtime;
    SCRIPTSTATE m_state{SCRIPTSTATE_UNINITIALIZED};
    DWORD m_safety{INTERFACESAFE_FOR_UNTRUSTED_DATA};
};

}
