#pragma once
// One Duktape heap behind one script engine: runs script texts, moves values
// between script and VARIANTs, wraps COM objects for the script and script
// objects for COM, and reports uncaught errors to the engine's site.
// Shared (std::shared_ptr) by the engine and the IDispatch objects it hands
// out, so a dispatch that outlives the engine's Close finds a closed runtime
// instead of a freed heap. Duktape's heap is not thread-safe: the runtime is
// used on the thread that made it, and a call from any other is refused
// (RPC_E_WRONG_THREAD) before it touches the heap.

#include "platform/script/ActiveScript.h"
#include "platform/script/ScriptClock.h"
#include "platform/com/ComPtr.h"

#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

struct duk_hthread;
using duk_context = duk_hthread;

namespace plat {

struct ScriptErrorInfo;

class ScriptRuntime : public std::enable_shared_from_this<ScriptRuntime> {
public:
    static std::shared_ptr<ScriptRuntime> create();
    // The runtime that owns a Duktape heap, for the C functions the heap calls.
    static ScriptRuntime& of(duk_context* ctx);
    ~ScriptRuntime();
    ScriptRuntime(const ScriptRuntime&) = delete;
    ScriptRuntime& operator=(const ScriptRuntime&) = delete;

    // Whether the calling thread made this runtime, and may use it.
    bool on_its_thread() const { return std::this_thread::get_id() == m_thread; }

    void set_site(IActiveScriptSite* site) { m_site = ComPtr<IActiveScriptSite>(site); }
    IActiveScriptSite* site() const { return m_site.get(); }
    // Lets go of the site and of everything the scripts hold; later calls fail with E_UNEXPECTED.
    void close();
    bool closed() const { return m_ctx == nullptr; }

    // How long one entry into the scripts from outside may run (a text run,
    // or a call into a script object; what either calls back counts to it).
    // A script still running then ends with a RangeError, "execution
    // timeout", that no catch of the script keeps, and it is reported to the
    // site as any uncaught error. Zero, the default: no limit.
    void set_run_limit(std::chrono::milliseconds limit) { m_run_limit = limit; }
    // The engine's question while a script runs (every so many instructions).
    bool timed_out() const;

    // Held for each entry into the scripts from outside; the outermost starts the clock.
    class Entry {
    public:
        explicit Entry(ScriptRuntime& runtime);
        ~Entry();
        Entry(const Entry&) = delete;
        Entry& operator=(const Entry&) = delete;

    private:
        ScriptRuntime& m_runtime;
    };

    void allow_object_creation(bool allow) { m_object_creation = allow; }
    bool object_creation_allowed() const { return m_object_creation; }

    // Compiles and runs a text at global level. An uncaught error is reported
    // to the site and gives SCRIPT_E_REPORTED.
    HRESULT run(std::u16string_view text, DWORD_PTR source_context, ULONG starting_line);
    // A visible named item: a global the site is asked for on first use.
    HRESULT add_named_item(std::u16string_view name);
    // A new reference to an IDispatch over the global object.
    HRESULT global_dispatch(IDispatch** out);

    // For the dispatch objects over script objects (ScriptObjectDispatch).
    DISPID dispid_of(std::u16string_view name);
    const std::u16string* name_of(DISPID id) const;

    // Value conversion at the top of the value stack.
    void push_variant(const VARIANT& value);
    HRESULT to_variant(int index, VARIANT* out);
    // Reports the error value at the top of the stack to the site; SCRIPT_E_REPORTED.
    HRESULT report_error();
    duk_context* context() const { return m_ctx; }

    // Script objects handed to COM live in the stash under a number.
    int keep_object(int index);
    void push_kept(int key);
    void drop_kept(int key);

private:
    struct Block {
        DWORD_PTR source_context;
        ULONG starting_line;
        std::u16string text;
    };

    ScriptRuntime();
    void scan_error(int index, ScriptErrorInfo& error);

    const std::thread::id m_thread{std::this_thread::get_id()};
    duk_context* m_ctx{nullptr};
    ComPtr<IActiveScriptSite> m_site;
    bool m_object_creation{false};
    std::vector<Block> m_blocks;
    std::unordered_map<std::u16string, DISPID> m_dispids;
    std::vector<std::u16string> m_names;   // index = DISPID - first_dispid
    int m_next_key{1};
    std::chrono::milliseconds m_run_limit{0};
    // The heap's user data: the engine asks it while a script runs.
    ScriptClock m_clock{[](void* self) { return static_cast<ScriptRuntime*>(self)->timed_out() ? 1 : 0; }, this};
    int m_entries{0};                                  // entries under way, nested ones too
    std::chrono::steady_clock::time_point m_deadline;  // of the outermost entry, when limited
};

}
