#pragma once
// For tests of the window layer and the program: a D-Bus daemon of the test's
// own (session configuration), started for the fixture's life, clients of it,
// and a double of a desktop tray's StatusNotifierWatcher on it.

#include <systemd/sd-bus.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <mutex>
#include <string>
#include <thread>
#include <vector>
#include <sys/types.h>
#include <sys/wait.h>

struct BusUnref {
    void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};
using BusPtr = std::unique_ptr<sd_bus, BusUnref>;

class PrivateBus {
public:
    PrivateBus()
    {
        FILE* out = ::popen("dbus-daemon --session --fork --print-address=1 --print-pid=1", "r");
        if (!out)
            throw std::runtime_error("dbus-daemon does not start");
        char line[512] = {};
        if (std::fgets(line, sizeof line, out))
            m_address.assign(line, std::string(line).find_last_not_of("\n") + 1);
        if (std::fgets(line, sizeof line, out))
            m_pid = static_cast<pid_t>(std::stol(line));
        ::pclose(out);
        if (m_address.empty() || m_pid <= 0)
            throw std::runtime_error("dbus-daemon gave no address");
    }
    ~PrivateBus() { ::kill(m_pid, SIGTERM); }
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    const std::string& address() const { return m_address; }

    BusPtr connect() const
    {
        sd_bus* bus = nullptr;
        if (sd_bus_new(&bus) < 0)
            return nullptr;
        BusPtr owned(bus);
        if (sd_bus_set_address(bus, m_address.c_str()) < 0 || sd_bus_set_bus_client(bus, 1) < 0 ||
            sd_bus_start(bus) < 0)
            return nullptr;
        return owned;
    }

private:
    std::string m_address;
    pid_t m_pid = 0;
};

// The tray host's side: owns the watcher's name and notes each item that registers.
class WatcherDouble {
public:
    explicit WatcherDouble(const PrivateBus& bus) : m_bus(bus.connect())
    {
        static const sd_bus_vtable vtable[] = {
            SD_BUS_VTABLE_START(0),
            SD_BUS_METHOD("RegisterStatusNotifierItem", "s", "", &WatcherDouble::on_register,
                          SD_BUS_VTABLE_UNPRIVILEGED),
            SD_BUS_VTABLE_END};
        if (!m_bus || sd_bus_add_object_vtable(m_bus.get(), nullptr, "/StatusNotifierWatcher",
                                               "org.kde.StatusNotifierWatcher", vtable, this) < 0 ||
            sd_bus_request_name(m_bus.get(), "org.kde.StatusNotifierWatcher", 0) < 0)
            throw std::runtime_error("the watcher double cannot take its name");
        m_thread = std::thread([this] {
            while (!m_stop) {
                while (sd_bus_process(m_bus.get(), nullptr) > 0) {
                }
                sd_bus_wait(m_bus.get(), 20000);
            }
        });
    }
    ~WatcherDouble()
    {
        m_stop = true;
        m_thread.join();
    }
    WatcherDouble(const WatcherDouble&) = delete;
    WatcherDouble& operator=(const WatcherDouble&) = delete;

    std::vector<std::string> registered()
    {
        std::scoped_lock hold(m_lock);
        return m_registered;
    }

private:
    static int on_register(sd_bus_message* m, void* self, sd_bus_error*)
    {
        const char* service = nullptr;
        sd_bus_message_read(m, "s", &service);
        auto* w = static_cast<WatcherDouble*>(self);
        std::scoped_lock hold(w->m_lock);
        w->m_registered.push_back(service ? service : "");
        return sd_bus_reply_method_return(m, "");
    }

    BusPtr m_bus;
    std::mutex m_lock;
    std::vector<std::string> m_registered;   // guarded by m_lock
    std::atomic<bool> m_stop{false};
    std::thread m_thread;   // last
};
