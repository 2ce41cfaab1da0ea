#include "StatusNotifier.h"

#include "platform/base/DebugLog.h"
#include "platform/base/Utf.h"
#include "platform/fs/UniqueFd.h"
#include "platform/window/Messages.h"

#include <systemd/sd-bus.h>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace plat {

namespace {

constexpr const char* ItemPath = "/StatusNotifierItem";
constexpr const char* ItemInterface = "org.kde.StatusNotifierItem";
constexpr const char* Watcher = "org.kde.StatusNotifierWatcher";

struct BusUnref {
    void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};
struct SlotUnref {
    void operator()(sd_bus_slot* slot) const { sd_bus_slot_unref(slot); }
};

bool watcher_present(sd_bus* bus)
{
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    int present = 0;
    if (sd_bus_call_method(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                           "NameHasOwner", &error, &reply, "s", Watcher) >= 0)
        sd_bus_message_read(reply, "b", &present);
    sd_bus_message_unref(reply);
    sd_bus_error_free(&error);
    return present != 0;
}

}

struct StatusNotifierItem::State {
    HWND hwnd = nullptr;
    UINT id = 0;
    UINT callback = 0;
    std::string title;
    std::string service;
    std::unique_ptr<sd_bus, BusUnref> bus;     // used only by the thread once it runs
    std::unique_ptr<sd_bus_slot, SlotUnref> object;
    UniqueFd wake_read, wake_write;
    std::thread thread;                        // last: joined before the rest go

    void post(UINT mouse_message) { PostMessageW(hwnd, callback, id, LPARAM(mouse_message)); }

    static int activate(sd_bus_message* m, void* self, sd_bus_error*)
    {
        static_cast<State*>(self)->post(WM_LBUTTONDBLCLK);
        return sd_bus_reply_method_return(m, "");
    }
    static int context_menu(sd_bus_message* m, void* self, sd_bus_error*)
    {
        static_cast<State*>(self)->post(WM_RBUTTONDOWN);
        return sd_bus_reply_method_return(m, "");
    }
    static int ignore(sd_bus_message* m, void*, sd_bus_error*) { return sd_bus_reply_method_return(m, ""); }

    static int text(sd_bus*, const char*, const char*, const char* property, sd_bus_message* reply, void* self,
                    sd_bus_error*)
    {
        const std::string_view name(property);
        const State& s = *static_cast<State*>(self);
        const char* value = name == "Title"      ? s.title.c_str()
                            : name == "Id"       ? "strimo"
                            : name == "Category" ? "ApplicationStatus"
                            : name == "Status"   ? "Active"
                            : name == "IconName" ? "applications-multimedia"
                                                 : "";
        return sd_bus_message_append(reply, "s", value);
    }
    static int not_menu(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*)
    {
        return sd_bus_message_append(reply, "b", 0);
    }

    static const sd_bus_vtable* vtable()
    {
        static const sd_bus_vtable table[] = {
            SD_BUS_VTABLE_START(0),
            SD_BUS_PROPERTY("Category", "s", text, 0, SD_BUS_VTABLE_PROPERTY_CONST),
            SD_BUS_PROPERTY("Id", "s", text, 0, SD_BUS_VTABLE_PROPERTY_CONST),
            SD_BUS_PROPERTY("Title", "s", text, 0, SD_BUS_VTABLE_PROPERTY_CONST),
            SD_BUS_PROPERTY("Status", "s", text, 0, SD_BUS_VTABLE_PROPERTY_CONST),
            SD_BUS_PROPERTY("IconName", "s", text, 0, SD_BUS_VTABLE_PROPERTY_CONST),
            SD_BUS_PROPERTY("ItemIsMenu", "b", not_menu, 0, SD_BUS_VTABLE_PROPERTY_CONST),
            SD_BUS_METHOD("Activate", "ii", "", activate, SD_BUS_VTABLE_UNPRIVILEGED),
            SD_BUS_METHOD("SecondaryActivate", "ii", "", ignore, SD_BUS_VTABLE_UNPRIVILEGED),
            SD_BUS_METHOD("ContextMenu", "ii", "", context_menu, SD_BUS_VTABLE_UNPRIVILEGED),
            SD_BUS_METHOD("Scroll", "is", "", ignore, SD_BUS_VTABLE_UNPRIVILEGED),
            SD_BUS_VTABLE_END};
        return table;
    }

    void run() noexcept
    {
        for (;;) {
            int r;
            while ((r = sd_bus_process(bus.get(), nullptr)) > 0) {
            }
            if (r < 0)
                return;
            pollfd watched[2] = {{sd_bus_get_fd(bus.get()), short(sd_bus_get_events(bus.get())), 0},
                                 {wake_read.get(), POLLIN, 0}};
            if (::poll(watched, 2, -1) < 0 && errno != EINTR)
                return;
            if (watched[1].revents)
                return;
        }
    }
};

namespace {

std::atomic<int> items_made{0};

}

std::unique_ptr<StatusNotifierItem> StatusNotifierItem::create(HWND hwnd, UINT id, UINT callback_message,
                                                               const std::u16string& tip)
{
    auto s = std::make_unique<State>();
    s->hwnd = hwnd;
    s->id = id;
    s->callback = callback_message;
    s->title = utf16_to_utf8(tip);
    sd_bus* bus = nullptr;
    if (sd_bus_open_user(&bus) < 0)
        return nullptr;
    s->bus.reset(bus);
    if (!watcher_present(bus))
        return nullptr;
    sd_bus_slot* object = nullptr;
    if (sd_bus_add_object_vtable(bus, &object, ItemPath, ItemInterface, State::vtable(), s.get()) < 0)
        return nullptr;
    s->object.reset(object);
    s->service = "org.kde.StatusNotifierItem-" + std::to_string(::getpid()) + "-" + std::to_string(++items_made);
    sd_bus_error error = SD_BUS_ERROR_NULL;
    const bool registered =
        sd_bus_request_name(bus, s->service.c_str(), 0) >= 0 &&
        sd_bus_call_method(bus, Watcher, "/StatusNotifierWatcher", Watcher, "RegisterStatusNotifierItem", &error,
                           nullptr, "s", s->service.c_str()) >= 0;
    if (!registered) {
        debug_log(std::string("window: the tray's watcher refused the icon: ") +
                  (error.message ? error.message : "no answer"));
        sd_bus_error_free(&error);
        return nullptr;
    }
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
        return nullptr;
    s->wake_read = UniqueFd(ends[0]);
    s->wake_write = UniqueFd(ends[1]);
    State* raw = s.get();
    s->thread = std::thread([raw] { raw->run(); });
    return std::unique_ptr<StatusNotifierItem>(new StatusNotifierItem(std::move(s)));
}

StatusNotifierItem::StatusNotifierItem(std::unique_ptr<State> state) : m_state(std::move(state)) {}

StatusNotifierItem::~StatusNotifierItem()
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(m_state->wake_write.get(), &byte, 1);
    m_state->thread.join();
    m_state->object.reset();
    sd_bus_release_name(m_state->bus.get(), m_state->service.c_str());
}

const std::string& StatusNotifierItem::service() const { return m_state->service; }

}
