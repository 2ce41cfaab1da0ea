#include "Drives.h"

#include "VolumeMonitor.h"
#include "platform/base/Utf.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <sys/statvfs.h>

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

UINT drive_type(plat::DriveKind kind)
{
    switch (kind) {
    case plat::DriveKind::Removable: return DRIVE_REMOVABLE;
    case plat::DriveKind::Remote: return DRIVE_REMOTE;
    case plat::DriveKind::Fixed: return DRIVE_FIXED;
    case plat::DriveKind::RamDisk: return DRIVE_RAMDISK;
    case plat::DriveKind::Unknown: break;
    }
    return DRIVE_UNKNOWN;
}

// Links are resolved, so a link into a stick names the stick's drive.
UINT posix_drive_type(std::string_view path)
{
    std::error_code error;
    std::filesystem::path resolved = std::filesystem::weakly_canonical(std::filesystem::path(path), error);
    if (error) resolved = std::filesystem::path(path).lexically_normal();
    std::string text = resolved.string();
    if (text.size() > 1 && text.back() == '/') text.pop_back();
    return drive_type(VolumeMonitor::instance().kind_of_path(text));
}

void store(PULARGE_INTEGER out, unsigned long long blocks, unsigned long block_size)
{
    if (out != nullptr) out->QuadPart = static_cast<ULONGLONG>(blocks) * block_size;
}

}

UINT GetDriveTypeA(LPCSTR root)
{
    if (root == nullptr) return DRIVE_NO_ROOT_DIR;
    const std::string_view text(root);
    if (!text.empty() && text[0] == '/') return posix_drive_type(text);
    const std::optional<char> letter = drive_letter(text);
    if (!letter || (text.size() > 2 && (text.size() > 3 || (text[2] != '\\' && text[2] != '/'))))
        return DRIVE_NO_ROOT_DIR;
    const std::optional<plat::Volume> volume = VolumeMonitor::instance().find(*letter);
    return volume ? drive_type(volume->kind) : DRIVE_NO_ROOT_DIR;
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

BOOL GetDiskFreeSpaceExA(LPCSTR folder, PULARGE_INTEGER free_to_caller, PULARGE_INTEGER total, PULARGE_INTEGER free)
{
    const std::optional<std::string> local = folder == nullptr ? std::optional<std::string>(".") : local_path(folder);
    struct statvfs info {};
    if (!local || ::statvfs(local->c_str(), &info) != 0) return FALSE;
    store(free_to_caller, info.f_bavail, info.f_frsize);
    store(total, info.f_blocks, info.f_frsize);
    store(free, info.f_bfree, info.f_frsize);
    return TRUE;
}

BOOL GetDiskFreeSpaceExW(LPCWSTR folder, PULARGE_INTEGER free_to_caller, PULARGE_INTEGER total, PULARGE_INTEGER free)
{
    if (folder == nullptr) return GetDiskFreeSpaceExA(nullptr, free_to_caller, total, free);
    return GetDiskFreeSpaceExA(plat::utf16_to_utf8({folder, plat::wide_length(folder)}).c_str(), free_to_caller,
                               total, free);
}
