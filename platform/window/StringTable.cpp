#include "platform/window/StringTable.h"

#include "platform/window/ProgramStrings.h"

#include "platform/base/DebugLog.h"
#include "platform/base/Utf.h"
#include "platform/fs/Files.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <memory>
#include <mutex>
#include <set>
#include <string_view>
#include <unordered_map>

namespace {

// Filled once when made, then only read: texts handed out by pointer stay put.
struct ResourceModule {
    std::unordered_map<UINT, std::u16string> texts;
};

// The process's loaded catalogues, so a stale or foreign handle reads nothing.
struct ModuleTable {
    std::mutex lock;
    std::set<const ResourceModule*> loaded;   // guarded by lock; owned
};

ModuleTable& module_table()
{
    static ModuleTable table;
    return table;
}

ResourceModule& program_resources()
{
    static ResourceModule module = [] {
        ResourceModule made;
        for (const plat::ProgramString& s : plat::program_strings()) made.texts[s.id] = s.text;
        return made;
    }();
    return module;
}

const ResourceModule* module_of(HINSTANCE instance)
{
    const auto* module = reinterpret_cast<const ResourceModule*>(instance);
    if (instance == nullptr || module == &program_resources())
        return &program_resources();
    ModuleTable& table = module_table();
    std::scoped_lock hold(table.lock);
    return table.loaded.contains(module) ? module : nullptr;
}

// "\n", "\t" and "\\"; any other backslash stays as it is.
std::string unescape(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char next = text[i + 1];
        const char* replaced = next == 'n' ? "\n" : next == 't' ? "\t" : next == '\\' ? "\\" : nullptr;
        if (replaced == nullptr) {
            out += text[i];
            continue;
        }
        out += replaced;
        ++i;
    }
    return out;
}

// One catalogue line into the module; false when it is not "id text".
bool parse_line(std::string_view line, ResourceModule& module)
{
    UINT id = 0;
    const auto [end, error] = std::from_chars(line.data(), line.data() + line.size(), id);
    if (error != std::errc() || end == line.data() || end == line.data() + line.size() || *end != ' ' || id > 0xFFFF)
        return false;
    const std::string_view text = line.substr(static_cast<std::size_t>(end - line.data()) + 1);
    module.texts[id] = plat::utf8_to_utf16(unescape(text));
    return true;
}

void parse_catalogue(std::string_view bytes, ResourceModule& module, const std::string& path)
{
    int number = 0;
    while (!bytes.empty()) {
        const std::size_t cut = bytes.find('\n');
        std::string_view line = bytes.substr(0, cut);
        bytes = cut == std::string_view::npos ? std::string_view{} : bytes.substr(cut + 1);
        ++number;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line.front() == '#') continue;
        if (!parse_line(line, module))
            plat::debug_log("string catalogue " + path + ": line " + std::to_string(number) + " skipped");
    }
}

}  // namespace

int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int buffer_max)
{
    if (buffer == nullptr || buffer_max < 0) return 0;
    const ResourceModule* module = module_of(instance);
    const std::u16string* text = nullptr;
    if (module) {
        const auto found = module->texts.find(id);
        if (found != module->texts.end()) text = &found->second;
    }
    if (buffer_max == 0) {
        // The caller reads the module's own copy.
        const WCHAR* shared = text ? text->data() : nullptr;
        std::memcpy(static_cast<void*>(buffer), static_cast<const void*>(&shared), sizeof shared);
        return text ? static_cast<int>(text->size()) : 0;
    }
    const std::size_t copied = text ? std::min<std::size_t>(text->size(), static_cast<std::size_t>(buffer_max - 1)) : 0;
    if (copied) std::copy_n(text->data(), copied, buffer);
    buffer[copied] = 0;
    return static_cast<int>(copied);
}

namespace plat {

HINSTANCE program_module()
{
    return reinterpret_cast<HINSTANCE>(&program_resources());
}

HINSTANCE load_resource_module(const std::string& path)
{
    const FileData file = read_file(path);
    if (!file) return nullptr;
    auto module = std::make_unique<ResourceModule>();
    parse_catalogue(file.bytes, *module, path);
    ModuleTable& table = module_table();
    std::scoped_lock hold(table.lock);
    table.loaded.insert(module.get());
    return reinterpret_cast<HINSTANCE>(module.release());
}

void free_resource_module(HINSTANCE instance)
{
    const auto* module = reinterpret_cast<const ResourceModule*>(instance);
    ModuleTable& table = module_table();
    {
        std::scoped_lock hold(table.lock);
        if (table.loaded.erase(module) == 0) return;
    }
    delete module;
}

}
