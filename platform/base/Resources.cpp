#include "platform/base/Resources.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <utility>

namespace plat {

namespace {

std::u16string folded(std::u16string_view text)
{
    std::u16string out(text);
    std::ranges::transform(out, out.begin(), [](char16_t c) { return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c; });
    return out;
}

struct ResourceTable {
    std::mutex lock;
    std::map<std::pair<std::u16string, std::u16string>, std::string> entries;   // guarded by lock
};

ResourceTable& resource_table()
{
    static ResourceTable table;
    return table;
}

}

void add_resource(std::u16string_view name, std::u16string_view type, std::string bytes)
{
    ResourceTable& t = resource_table();
    std::scoped_lock hold(t.lock);
    t.entries[{folded(name), folded(type)}] = std::move(bytes);
}

std::optional<std::string> find_resource(std::u16string_view name, std::u16string_view type)
{
    ResourceTable& t = resource_table();
    std::scoped_lock hold(t.lock);
    const auto found = t.entries.find({folded(name), folded(type)});
    if (found == t.entries.end())
        return std::nullopt;
    return found->second;
}

}
