#pragma once
// Named events: any object subscribes a member function to a name on one
// widget, or on every widget at once through the global event set. Firing
// calls the global subscribers first, then the widget's own, and ORs every
// handler's result into the record's handled flag; no handler stops the others.
// Slots are never unsubscribed: they live as long as their event set.

#include "platform/base/Types.h"

#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace UI {

class widget;

// The record every handler gets; event-specific records extend it.
struct EventArgs {
    BYTE handled{0};   // first: handler results are ORed into it
    widget* sender{nullptr};
};

struct ValueEventArgs : EventArgs {
    intptr_t value{0};   // filled by the firer
    intptr_t reserved{0};   // cleared at construction
};

// "selectbtn_clicked": the new selected state has a field of its own, so
// handler results ORed into the handled flag never turn state 0 into 1.
struct SelectEventArgs : EventArgs {
    BYTE selected{0};
};

class FunctionSlot {
public:
    virtual ~FunctionSlot() = default;
    virtual bool Call(EventArgs& args) = 0;
};

template <typename T>
class MemberFunctionSlot : public FunctionSlot {
public:
    using Handler = bool (T::*)(EventArgs&);
    MemberFunctionSlot(Handler handler, T* object) : m_handler(handler), m_object(object) {}
    bool Call(EventArgs& args) override { return (m_object->*m_handler)(args); }

private:
    Handler m_handler;
    T* m_object;
};

struct SlotEntry {
    int group;
    FunctionSlot* slot;
};

class Event {
public:
    explicit Event(std::string name) : m_name(std::move(name)) {}
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    const std::string& GetName() const { return m_name; }

    // Appends after every earlier subscription; the event owns the slot.
    template <typename T>
    FunctionSlot* Subscribe(bool (T::*handler)(EventArgs&), T* object)
    {
        return Add(std::make_unique<MemberFunctionSlot<T>>(handler, object));
    }

    void Fire(EventArgs& args);

private:
    FunctionSlot* Add(std::unique_ptr<FunctionSlot> slot);

    std::string m_name;
    std::multimap<int, std::unique_ptr<FunctionSlot>> m_slots;   // group -1 for every subscription
};

class EventSet {
public:
    EventSet() = default;
    virtual ~EventSet();
    EventSet(const EventSet&) = delete;
    EventSet& operator=(const EventSet&) = delete;

    // The named event; a missing one is made when create is set, else null.
    Event* GetEvent(std::string_view name, bool create);
    // Fires the name on the global set, then here; the text is passed through unread. Returns 0.
    int FireEvent(std::string_view name, EventArgs& args, const WCHAR* text = nullptr);

protected:
    // Fires this set's own event of the name; a name nobody subscribed to creates nothing.
    void FireOwn(std::string_view name, EventArgs& args);

private:
    std::map<std::string, std::unique_ptr<Event>, std::less<>> m_events;
};

class GlobalEventSet : public EventSet {
public:
    static GlobalEventSet& Instance();
    virtual void Fire(std::string_view name, EventArgs& args, const WCHAR* text);
};

}
