// strimo-regsvr: registers a COM server module into the current registry store
// (STRIMO_REGISTRY_DIR, else the user's), or removes it with -u, by calling
// the module's DllRegisterServer or DllUnregisterServer.

#include "platform/base/DebugLog.h"
#include "platform/com/Com.h"
#include "platform/com/ComScope.h"
#include "platform/com/ModuleTable.h"
#include "platform/com/ServerExports.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

namespace {

int usage()
{
    std::fprintf(stderr, "usage: strimo-regsvr [-u] module.so\n"
                         "  registers the module's COM classes; -u removes them\n");
    return 2;
}

// The registry must name the module by a path that holds from any folder.
std::string absolute_path(const char* path)
{
    std::unique_ptr<char, decltype(&std::free)> full(realpath(path, nullptr), &std::free);
    return full ? full.get() : path;
}

// What the loader and the module wrote to the debug sink tells the user why.
void report(const plat::DebugCapture& capture, const std::string& failure)
{
    for (const auto& line : capture.lines())
        std::fprintf(stderr, "strimo-regsvr: %s\n", line.c_str());
    std::fprintf(stderr, "strimo-regsvr: %s\n", failure.c_str());
}

std::string hex(HRESULT hr)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
    return text;
}

int run(const std::string& path, bool unregister)
{
    const char* entry_name = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    plat::DebugCapture capture;
    plat::ComScope com;
    const plat::LoadedModule* module = nullptr;
    if (HRESULT hr = plat::load_server_module(path, &module); FAILED(hr)) {
        report(capture, "cannot load " + path + " (" + hex(hr) + ")");
        return 1;
    }
    auto entry = reinterpret_cast<plat::DllServerFunction>(module->symbol(entry_name));
    if (!entry) {
        report(capture, path + " does not export " + entry_name);
        return 1;
    }
    if (HRESULT hr = entry(); FAILED(hr)) {
        report(capture, std::string(entry_name) + " of " + path + " failed (" + hex(hr) + ")");
        return 1;
    }
    std::printf("%s %s\n", unregister ? "unregistered" : "registered", path.c_str());
    return 0;
}

}

int main(int argc, char** argv)
{
    bool unregister = false;
    const char* module_arg = nullptr;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (arg == "-u" && !unregister)
            unregister = true;
        else if (!module_arg && !arg.starts_with('-'))
            module_arg = argv[i];
        else
            return usage();
    }
    if (!module_arg)
        return usage();
    return run(absolute_path(module_arg), unregister);
}
