#include "WidgetRegistry.h"

#include <map>
#include <mutex>
#include <string>

namespace UI {

namespace {

struct Registry {
    std::mutex lock;
    std::map<std::string, int, std::less<>> ids;   // guarded by lock
    std::map<int, widget*> widgets;                 // guarded by lock
};

Registry& registry()
{
    static Registry r;
    return r;
}

}

void RegisterWidget(std::string_view name, int id, widget* w)
{
    Registry& r = registry();
    std::scoped_lock hold(r.lock);
    r.ids.insert_or_assign(std::string(name), id);
    r.widgets.insert_or_assign(id, w);
}

widget* GetWidgetById(int id)
{
    Registry& r = registry();
    std::scoped_lock hold(r.lock);
    auto found = r.widgets.find(id);
    return found == r.widgets.end() ? nullptr : found->second;
}

int GetWidgetIdByName(std::string_view name)
{
    Registry& r = registry();
    std::scoped_lock hold(r.lock);
    auto found = r.ids.find(name);
    return found == r.ids.end() ? 0 : found->second;
}

void UnregisterWidget(const widget* w)
{
    Registry& r = registry();
    std::scoped_lock hold(r.lock);
    for (auto it = r.widgets.begin(); it != r.widgets.end();) {
        if (it->second != w) {
            ++it;
            continue;
        }
        const int id = it->first;
        it = r.widgets.erase(it);
        std::erase_if(r.ids, [id](const auto& entry) { return entry.second == id; });
    }
}

}
