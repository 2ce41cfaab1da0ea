#pragma once
// The process-wide table behind one kind of handle (accelerator tables, menus,
// memory blocks): values under one lock, named by handles never given twice.
// Internal to the window layer.

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <utility>

namespace plat {

template <typename Handle, typename Value>
class HandleTable {
public:
    // first: where this kind's handle values start, so kinds do not look alike.
    explicit HandleTable(std::uintptr_t first) : m_next(first) {}

    Handle add(Value value)
    {
        std::scoped_lock hold(m_lock);
        Handle handle = reinterpret_cast<Handle>(m_next += 8);
        m_values.emplace(handle, std::move(value));
        return handle;
    }

    // The value taken out of the table; none for an unknown handle.
    std::optional<Value> remove(Handle handle)
    {
        std::scoped_lock hold(m_lock);
        auto found = m_values.find(handle);
        if (found == m_values.end()) return std::nullopt;
        std::optional<Value> value(std::move(found->second));
        m_values.erase(found);
        return value;
    }

    // Runs use on the value under the lock; false for an unknown handle.
    template <typename Use>
    bool with(Handle handle, Use&& use)
    {
        std::scoped_lock hold(m_lock);
        auto found = m_values.find(handle);
        if (found == m_values.end()) return false;
        use(found->second);
        return true;
    }

private:
    std::mutex m_lock;
    std::map<Handle, Value> m_values;   // guarded by m_lock
    std::uintptr_t m_next;              // guarded by m_lock
};

}
