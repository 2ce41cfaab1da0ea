#include "EventSet.h"

namespace UI {

FunctionSlot* Event::Add(std::unique_ptr<FunctionSlot> slot)
{
    FunctionSlot* raw = slot.get();
    m_slots.emplace(-1, std::move(slot));   // a multimap keeps equal keys in insertion order
    return raw;
}

void Event::Fire(EventArgs& args)
{
    for (auto& [group, slot] : m_slots)
        if (slot->Call(args)) args.handled = 1;
}

EventSet::~EventSet() = default;

Event* EventSet::GetEvent(std::string_view name, bool create)
{
    auto found = m_events.find(name);
    if (found != m_events.end()) return found->second.get();
    if (!create) return nullptr;
    auto made = std::make_unique<Event>(std::string(name));
    Event* raw = made.get();
    m_events.emplace(std::string(name), std::move(made));
    return raw;
}

int EventSet::FireEvent(std::string_view name, EventArgs& args, const WCHAR* text)
{
    GlobalEventSet::Instance().Fire(name, args, text);
    FireOwn(name, args);
    return 0;
}

void EventSet::FireOwn(std::string_view name, EventArgs& args)
{
    if (Event* e = GetEvent(name, false)) e->Fire(args);
}

GlobalEventSet& GlobalEventSet::Instance()
{
    static GlobalEventSet set;
    return set;
}

void GlobalEventSet::Fire(std::string_view name, EventArgs& args, const WCHAR*) { FireOwn(name, args); }

}
