#include "ServerModule.h"

#include "platform/base/DebugLog.h"
#include "platform/com/ComPtr.h"

#include <cstdlib>
#include <memory>

#include <dlfcn.h>

namespace plat {

namespace {

// The file of the module that holds the address, as an absolute path.
std::optional<std::string> module_file_of(const void* address)
{
    Dl_info info{};
    if (!dladdr(address, &info) || !info.dli_fname)
        return std::nullopt;
    std::unique_ptr<char, decltype(&std::free)> full(realpath(info.dli_fname, nullptr), &std::free);
    if (!full)
        return std::nullopt;
    return std::string(full.get());
}

}

HRESULT get_class_object(std::span<const ServerClass> classes, REFCLSID clsid, REFIID iid, void** object) noexcept
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    for (const auto& entry : classes) {
        if (entry.registration.clsid != clsid)
            continue;
        auto factory = ComPtr<IClassFactory>::adopt(entry.create_factory());
        if (!factory)
            return E_OUTOFMEMORY;
        return factory->QueryInterface(iid, object);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT register_server(std::span<const ServerClass> classes) noexcept
try {
    auto file = module_file_of(classes.data());
    if (!file) {
        debug_log("com: cannot find the file of the module to register");
        return SELFREG_E_CLASS;
    }
    for (const auto& entry : classes) {
        if (LONG rc = write_class_keys(entry.registration, *file); rc != ERROR_SUCCESS) {
            debug_log("com: cannot register " + format_guid(entry.registration.clsid) + " of " + *file +
                      ": registry error " + std::to_string(rc));
            return SELFREG_E_CLASS;
        }
    }
    return S_OK;
} catch (const std::exception& e) {
    debug_log(std::string("com: registration failed: ") + e.what());
    return SELFREG_E_CLASS;
}

HRESULT unregister_server(std::span<const ServerClass> classes) noexcept
try {
    HRESULT result = S_OK;
    for (const auto& entry : classes) {
        if (LONG rc = remove_class_keys(entry.registration); rc != ERROR_SUCCESS) {
            debug_log("com: cannot unregister " + format_guid(entry.registration.clsid) + ": registry error " +
                      std::to_string(rc));
            result = SELFREG_E_CLASS;
        }
    }
    return result;
} catch (const std::exception& e) {
    debug_log(std::string("com: unregistration failed: ") + e.what());
    return SELFREG_E_CLASS;
}

}
