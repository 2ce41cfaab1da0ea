#include "Drives.h"

#include "VolumeMonitor.h"
#include "platform/base/Utf.h"

#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>

namespace {

using plat::VolumeMonitor;

// "X:" names a drive.
std::optional<char> drive_letter(std::string_view path)
{
    if (path.size() < 2 || path[1] != ':') return std::nullopt;
    const char letter = path[0];
    const bool alpha = (letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z');
    if (!alpha) return std::nullopt;
    return letter;
}

std::optional<std::string> local_path(std::string_view path)
{
    if (!path.empty() && path[0] == '/') return std::string(path);
    return plat::volume_local_path(path);
}

}

UINT GetDriveTypeA(LPCSTR root)
{
    if (root == nullptr) return DRIVE_NO_ROOT_DIR;
    const std::string_view text(root);
    const std::optional<char> letter = drive_letter(text);
    if (!letter || (text.size() > 2 && (text.size() > 3 || (text[2] != '\\' && text[2] != '/'))))
        return DRIVE_NO_ROOT_DIR;
    const std::optional<plat::Volume> volume = VolumeMonitor::instance().find(*letter);
    if (!volume) return DRIVE_NO_ROOT_DIR;
    return volume->kind == plat::DriveKind::Remote ? DRIVE_REMOTE : DRIVE_REMOVABLE;
}

UINT GetDriveTypeW(LPCWSTR root)
{
    if (root == nullptr) return DRIVE_NO_ROOT_DIR;
    return GetDriveTypeA(plat::utf16_to_utf8({root, plat::wide_length(root)}).c_str());
}

DWORD GetFileAttributesA(LPCSTR path)
{
    if (path == nullptr) return INVALID_FILE_ATTRIBUTES;
    const std::optional<std::string> local = local_path(path);
    struct stat info {};
    if (!local || ::stat(local->c_str(), &info) != 0) return INVALID_FILE_ATTRIBUTES;
    if (S_ISDIR(info.st_mode)) return FILE_ATTRIBUTE_DIRECTORY;
    return S_ISREG(info.st_mode) ? FILE_ATTRIBUTE_ARCHIVE : FILE_ATTRIBUTE_NORMAL;
}

DWORD GetFileAttributesW(LPCWSTR path)
{
    if (path == nullptr) return INVALID_FILE_ATTRIBUTES;
    return GetFileAttributesA(plat::utf16_to_utf8({path, plat::wide_length(path)}).c_str());
}

HDEVNOTIFY RegisterDeviceNotificationA(HWND window, LPVOID filter, DWORD flags)
{
    if (filter == nullptr || flags != DEVICE_NOTIFY_WINDOW_HANDLE) return nullptr;
    const auto* header = static_cast<const DEV_BROADCAST_HDR*>(filter);
    if (header->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE && header->dbch_devicetype != DBT_DEVTYP_VOLUME)
        return nullptr;
    return VolumeMonitor::instance().add_window(window);
}

BOOL UnregisterDeviceNotification(HDEVNOTIFY handle)
{
    return handle != nullptr && VolumeMonitor::instance().remove_window(handle) ? TRUE : FALSE;
}
