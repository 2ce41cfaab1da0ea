#include "ModuleTable.h"

#include "platform/base/DebugLog.h"

#include <map>
#include <memory>
#include <mutex>

#include <dlfcn.h>

namespace plat {

namespace {

struct ModuleTable {
    std::mutex lock;
    std::map<std::string, std::unique_ptr<LoadedModule>, std::less<>> modules;   // guarded by lock
    // One load at a time, as Windows' loader lock: a thread that loads a module
    // another thread is loading waits until its initialisers have run. Recursive
    // because initialisers may load further modules.
    std::recursive_mutex loading;
};

ModuleTable& module_table()
{
    static ModuleTable table;
    return table;
}

}

void* LoadedModule::symbol(const char* name) const { return dlsym(m_handle, name); }

HRESULT load_server_module(std::string_view path, const LoadedModule** module)
{
    *module = nullptr;
    auto& table = module_table();
    {
        std::scoped_lock hold(table.lock);
        if (auto it = table.modules.find(path); it != table.modules.end()) {
            *module = it->second.get();
            return S_OK;
        }
    }
    // Loading runs the module's initialisers, which may create objects in turn:
    // never under the table's lock.
    const std::string name(path);
    std::scoped_lock one_load(table.loading);
    void* handle = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* reason = dlerror();
        debug_log("com: cannot load server module " + name + ": " + (reason ? reason : "unknown reason"));
        return CO_E_DLLNOTFOUND;
    }
    std::scoped_lock hold(table.lock);
    // Another thread may have loaded the same path meanwhile; dlopen gave both the same handle.
    auto [it, added] = table.modules.try_emplace(name, nullptr);
    if (added)
        it->second = std::make_unique<LoadedModule>(name, handle);
    *module = it->second.get();
    return S_OK;
}

}
