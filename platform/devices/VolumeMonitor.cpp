#include "VolumeMonitor.h"

#include "Drives.h"
#include "platform/base/DebugLog.h"
#include "platform/fs/Files.h"
#include "platform/fs/UniqueFd.h"
#include "platform/window/Window.h"

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <string>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>

namespace plat {

namespace {

constexpr const char* mountinfo_path = "/proc/self/mountinfo";
constexpr const char* sysfs_root = "/sys";

std::string read_all(int fd)
{
    std::string text;
    char buffer[8192];
    if (::lseek(fd, 0, SEEK_SET) != 0) return text;
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) return text;
        text.append(buffer, static_cast<std::size_t>(n));
    }
}

std::vector<VolumeChange> diff(const std::vector<Volume>& before, const std::vector<Volume>& after)
{
    const auto same = [](const Volume& a, const Volume& b) {
        return a.letter == b.letter && a.kind == b.kind && a.folder == b.folder;
    };
    std::vector<VolumeChange> changes;
    for (const Volume& v : before)
        if (std::none_of(after.begin(), after.end(), [&](const Volume& w) { return same(v, w); }))
            changes.push_back({VolumeChange::Kind::Removal, v});
    for (const Volume& v : after)
        if (std::none_of(before.begin(), before.end(), [&](const Volume& w) { return same(v, w); }))
            changes.push_back({VolumeChange::Kind::Arrival, v});
    return changes;
}

struct Registration {
    HWND window;
};

// Sent, as Windows sends it: the window's thread handles it while this
// thread waits, and the record goes when the call returns.
void send_to_window(HWND window, std::uintptr_t event, std::unique_ptr<DEV_BROADCAST_VOLUME> record)
{
    SendMessageW(window, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(record.get()));
}

bool holds(const std::string& folder, const std::string& path)
{
    return path.starts_with(folder) && (path.size() == folder.size() || path[folder.size()] == '/');
}

}

struct VolumeMonitor::State {
    mutable std::mutex lock;
    VolumeTable table;                                     // guarded by lock; the system's mounts
    std::optional<std::vector<Volume>> given;              // guarded by lock; when set, in place of the table
    std::vector<std::unique_ptr<Registration>> windows;    // guarded by lock
    DeviceChangeSink sink;                                 // guarded by lock
    UniqueFd mountinfo;
    UniqueFd wake;                                         // an eventfd: the watcher ends when it is written
    std::thread watcher;                                   // last: joined before the rest go
};

VolumeMonitor& VolumeMonitor::instance()
{
    static VolumeMonitor monitor;
    return monitor;
}

VolumeMonitor::VolumeMonitor() : m_state(std::make_unique<State>())
{
    m_state->sink = send_to_window;
    const char* given = std::getenv("STRIMO_TEST_VOLUMES");
    if (given != nullptr && *given != 0) {
        m_state->given = parse_given_volumes(given);
        return;
    }
    m_state->mountinfo = UniqueFd(::open(mountinfo_path, O_RDONLY | O_CLOEXEC));
    m_state->wake = UniqueFd(::eventfd(0, EFD_CLOEXEC));
    if (!m_state->mountinfo.valid() || !m_state->wake.valid()) {
        debug_log("volumes: cannot follow the mounts; no volume has a letter");
        return;
    }
    m_state->table.update(removable_and_network_volumes(read_all(m_state->mountinfo.get()), sysfs_root));
    m_state->watcher = std::thread(&VolumeMonitor::watch, this);
}

VolumeMonitor::~VolumeMonitor()
{
    stop_watching();
}

void VolumeMonitor::stop_watching()
{
    if (!m_state->watcher.joinable()) return;
    const std::uint64_t one = 1;
    if (::write(m_state->wake.get(), &one, sizeof one) != sizeof one) debug_log("volumes: cannot wake the watcher");
    m_state->watcher.join();
}

// The kernel marks mountinfo with POLLPRI whenever the mount table changes.
void VolumeMonitor::watch() noexcept
{
    pollfd fds[2] = {{m_state->mountinfo.get(), POLLPRI, 0}, {m_state->wake.get(), POLLIN, 0}};
    for (;;) {
        if (::poll(fds, 2, -1) < 0) continue;
        if (fds[1].revents != 0) return;
        if ((fds[0].revents & (POLLPRI | POLLERR)) == 0) continue;
        try {
            const std::vector<MountedVolume> mounted =
                removable_and_network_volumes(read_all(m_state->mountinfo.get()), sysfs_root);
            std::vector<VolumeChange> changes;
            {
                std::scoped_lock hold(m_state->lock);
                if (m_state->given) continue;
                changes = m_state->table.update(mounted);
            }
            deliver(changes);
        } catch (...) {
            debug_log("volumes: a change of the mounts was lost");
        }
    }
}

std::optional<Volume> VolumeMonitor::find(char letter) const
{
    if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
    std::scoped_lock hold(m_state->lock);
    if (!m_state->given) return m_state->table.find(letter);
    for (const Volume& v : *m_state->given)
        if (v.letter == letter) return v;
    return std::nullopt;
}

void VolumeMonitor::use_given_volumes(const std::vector<Volume>& volumes)
{
    stop_watching();
    std::vector<VolumeChange> changes;
    {
        std::scoped_lock hold(m_state->lock);
        const std::vector<Volume> before = m_state->given ? *m_state->given : m_state->table.volumes();
        m_state->given = volumes;
        changes = diff(before, volumes);
    }
    deliver(changes);
}

void VolumeMonitor::set_sink(DeviceChangeSink sink)
{
    std::scoped_lock hold(m_state->lock);
    m_state->sink = sink ? std::move(sink) : send_to_window;
}

DriveKind VolumeMonitor::kind_of_path(const std::string& path) const
{
    {
        std::scoped_lock hold(m_state->lock);
        const std::vector<Volume> volumes = m_state->given ? *m_state->given : std::vector<Volume>{};
        const Volume* holder = nullptr;
        for (const Volume& v : volumes)
            if (holds(v.folder, path) && (!holder || v.folder.size() > holder->folder.size())) holder = &v;
        if (holder) return holder->kind;
    }
    const FileData mountinfo = read_file(mountinfo_path);
    return mountinfo ? drive_kind_of(path, mountinfo.bytes, sysfs_root) : DriveKind::Unknown;
}

void* VolumeMonitor::add_window(HWND window)
{
    if (window == nullptr) return nullptr;
    std::scoped_lock hold(m_state->lock);
    m_state->windows.push_back(std::make_unique<Registration>(Registration{window}));
    return m_state->windows.back().get();
}

bool VolumeMonitor::remove_window(void* registration)
{
    std::scoped_lock hold(m_state->lock);
    const auto it = std::find_if(m_state->windows.begin(), m_state->windows.end(),
                                 [registration](const auto& r) { return r.get() == registration; });
    if (it == m_state->windows.end()) return false;
    m_state->windows.erase(it);
    return true;
}

// Called without the lock: the sink reaches into the window layer.
void VolumeMonitor::deliver(const std::vector<VolumeChange>& changes)
{
    std::vector<HWND> windows;
    DeviceChangeSink sink;
    {
        std::scoped_lock hold(m_state->lock);
        for (const auto& r : m_state->windows) windows.push_back(r->window);
        sink = m_state->sink;
    }
    if (!sink) return;
    for (const VolumeChange& c : changes) {
        for (HWND window : windows) {
            auto record = std::make_unique<DEV_BROADCAST_VOLUME>();
            record->dbcv_size = sizeof(DEV_BROADCAST_VOLUME);
            record->dbcv_devicetype = DBT_DEVTYP_VOLUME;
            record->dbcv_reserved = 0;
            record->dbcv_unitmask = DWORD{1} << (c.volume.letter - 'A');
            record->dbcv_flags = c.volume.kind == DriveKind::Remote ? DBTF_NET : 0;
            const WPARAM event =
                c.kind == VolumeChange::Kind::Arrival ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE;
            sink(window, event, std::move(record));
        }
    }
}

std::optional<std::string> volume_local_path(std::string_view path)
{
    if (path.size() < 2 || path[1] != ':') return std::nullopt;
    const std::optional<Volume> volume = VolumeMonitor::instance().find(path[0]);
    if (!volume) return std::nullopt;
    std::string local = volume->folder;
    for (const char c : path.substr(2)) local.push_back(c == '\\' ? '/' : c);
    return local;
}

std::vector<Volume> parse_given_volumes(std::string_view text)
{
    std::vector<Volume> volumes;
    std::size_t at = 0;
    while (at <= text.size()) {
        const std::size_t end = std::min(text.find(';', at), text.size());
        const std::string_view item = text.substr(at, end - at);
        at = end + 1;
        // "E=removable:/folder"
        const std::size_t colon = item.find(':');
        if (item.size() < 3 || item[1] != '=' || colon == std::string_view::npos) continue;
        char letter = item[0];
        if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
        const std::string_view kind = item.substr(2, colon - 2);
        const std::string_view folder = item.substr(colon + 1);
        if (letter < 'C' || letter > 'Z' || folder.empty() || folder[0] != '/') continue;
        DriveKind drive;
        if (kind == "removable") drive = DriveKind::Removable;
        else if (kind == "remote") drive = DriveKind::Remote;
        else if (kind == "fixed") drive = DriveKind::Fixed;
        else continue;
        volumes.push_back({letter, drive, std::string(folder)});
    }
    return volumes;
}

}
