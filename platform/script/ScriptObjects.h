#pragma once
// The script's side of COM, inside a ScriptRuntime: proxies through which a
// script reaches an IDispatch, the IDispatch through which COM reaches a
// script object, and the error object handed to the site.

#include "platform/script/ScriptDebug.h"

#include <memory>
#include <string>

struct duk_hthread;
using duk_context = duk_hthread;

namespace plat {

class ScriptRuntime;

// Pushes a script object that forwards property reads, writes and method calls
// to the IDispatch (holding a reference until the script drops it).
void push_dispatch_proxy(duk_context* ctx, IDispatch* dispatch);
// The IDispatch behind a proxy made by push_dispatch_proxy, or null.
IDispatch* proxied_dispatch(duk_context* ctx, int index);

// A new reference to an IDispatch over the script object at index.
IDispatch* create_object_dispatch(const std::shared_ptr<ScriptRuntime>& runtime, int index);
// When the IDispatch is one of this runtime's, pushes its script object and answers true.
bool push_own_object(ScriptRuntime& runtime, IDispatch* dispatch);

struct ScriptErrorInfo {
    EXCEPINFO info{};            // owned texts
    DWORD_PTR source_context{0};
    ULONG line{0};               // zero-based
    LONG character{0};
    std::u16string line_text;
    bool has_position{false};
};
// A new reference to an error object for OnScriptError; it takes the texts of info.
IActiveScriptError* create_script_error(ScriptErrorInfo&& info);

}
