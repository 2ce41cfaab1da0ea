#pragma once
// Server modules (.so files named by InprocServer32), loaded once per path
// into the process's module table. A module stays loaded for the life of the
// process: objects it made may live anywhere, and unloading code under a live
// object would crash.

#include "platform/base/HResult.h"

#include <string>
#include <string_view>

namespace plat {

class LoadedModule {
public:
    LoadedModule(std::string path, void* handle) : m_path(std::move(path)), m_handle(handle) {}

    const std::string& path() const { return m_path; }
    // Null when the module does not export the name.
    void* symbol(const char* name) const;

private:
    std::string m_path;
    void* m_handle;   // from dlopen; never closed, see above
};

// The entry stays valid for the life of the process. CO_E_DLLNOTFOUND when the
// module does not load; the loader's reason goes to the debug sink.
HRESULT load_server_module(std::string_view path, const LoadedModule** module);

}
