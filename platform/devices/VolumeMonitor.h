#pragma once
// The process's one view of its lettered volumes, and the windows that hear
// of changes.
//
// It follows /proc/self/mountinfo (a watcher thread wakes on the kernel's
// change notice) unless volumes are given by hand: tests call
// `use_given_volumes`; demos set STRIMO_TEST_VOLUMES to items such as
// "E=removable:/folder" separated by ";" (kinds: removable, remote, fixed).

#include "VolumeTable.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct HWND__;
using HWND = HWND__*;
struct DEV_BROADCAST_VOLUME;

namespace plat {

// Delivers one WM_DEVICECHANGE to a window and owns the record from then on.
// The monitor's own sends the message to the window, so the record lives
// until the window procedure has returned and is freed once, after it.
using DeviceChangeSink =
    std::function<void(HWND window, std::uintptr_t event, std::unique_ptr<DEV_BROADCAST_VOLUME> record)>;

class VolumeMonitor {
public:
    static VolumeMonitor& instance();
    ~VolumeMonitor();

    std::optional<Volume> find(char letter) const;

    // The kind of drive that holds an absolute path: a given volume's kind
    // when one holds it, else that of the system's mount (drive_kind_of).
    DriveKind kind_of_path(const std::string& path) const;

    // Replaces the system's mounts by these volumes (letters as given) and
    // tells the registered windows what came and went.
    void use_given_volumes(const std::vector<Volume>& volumes);

    // Replaces the delivery (tests record it); an empty sink restores the monitor's own.
    void set_sink(DeviceChangeSink sink);

    // A registration handle for the window; null when `window` is null.
    void* add_window(HWND window);
    bool remove_window(void* registration);

private:
    VolumeMonitor();
    struct State;
    void deliver(const std::vector<VolumeChange>& changes);
    void watch() noexcept;
    void stop_watching();

    std::unique_ptr<State> m_state;
};

// Where "X:\a\b" lies here: inside the mount of the volume lettered X; none
// when no volume has the letter or the path names no drive.
std::optional<std::string> volume_local_path(std::string_view path);

// The items of a STRIMO_TEST_VOLUMES text; a malformed item is skipped.
std::vector<Volume> parse_given_volumes(std::string_view text);

}
