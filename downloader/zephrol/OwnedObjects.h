#pragma once
// How the downloader's factories make the objects they own and find them
// again by the interface they handed out.

#include "components/common/baseinterface/BaseInterface.h"

#include <algorithm>
#include <deque>
#include <memory>
#include <utility>

// A new Object and its interface `id`, the use counted for `user`; both
// empty when the object does not give that interface.
template <class Object, class Interface, class... Args>
std::pair<std::unique_ptr<Object>, Interface*> make_for_user(int id, const char* user, Args&&... args)
{
    auto object = std::make_unique<Object>(std::forward<Args>(args)...);
    void* out = nullptr;
    if (object->QueryInterface(id, &out, user) != RESULT_OK) return {nullptr, nullptr};
    return {std::move(object), static_cast<Interface*>(out)};
}

// Moves the object that handed out `iface` out of `items`; null when none did.
template <class Object, class Interface>
std::unique_ptr<Object> take_owned(std::deque<std::unique_ptr<Object>>& items, const Interface* iface)
{
    const auto it = std::find_if(items.begin(), items.end(), [iface](const std::unique_ptr<Object>& p) {
        return static_cast<const Interface*>(p.get()) == iface;
    });
    if (it == items.end()) return nullptr;
    std::unique_ptr<Object> owned = std::move(*it);
    items.erase(it);
    return owned;
}
