#pragma once
// The drive and device-notification calls the system makes, answered from
// the volume table: removable and network volumes have drive letters, and a
// registered window hears of their arrival and removal as WM_DEVICECHANGE.

#include "platform/base/Guid.h"
#include "platform/base/Types.h"
#include "platform/window/Messages.h"   // WM_DEVICECHANGE

struct HWND__;
using HWND = HWND__*;
using HDEVNOTIFY = void*;

inline constexpr UINT DRIVE_UNKNOWN = 0;
inline constexpr UINT DRIVE_NO_ROOT_DIR = 1;
inline constexpr UINT DRIVE_REMOVABLE = 2;
inline constexpr UINT DRIVE_FIXED = 3;
inline constexpr UINT DRIVE_REMOTE = 4;
inline constexpr UINT DRIVE_RAMDISK = 6;

inline constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;
inline constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
inline constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x20;
inline constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;

inline constexpr WPARAM DBT_DEVICEARRIVAL = 0x8000;
inline constexpr WPARAM DBT_DEVICEREMOVECOMPLETE = 0x8004;
inline constexpr DWORD DBT_DEVTYP_VOLUME = 2;
inline constexpr DWORD DBT_DEVTYP_DEVICEINTERFACE = 5;
inline constexpr WORD DBTF_NET = 2;
inline constexpr DWORD DEVICE_NOTIFY_WINDOW_HANDLE = 0;

union ULARGE_INTEGER {
    struct {
        DWORD LowPart;
        DWORD HighPart;
    } u;
    ULONGLONG QuadPart;
};
using PULARGE_INTEGER = ULARGE_INTEGER*;

struct DEV_BROADCAST_HDR {
    DWORD dbch_size;
    DWORD dbch_devicetype;
    DWORD dbch_reserved;
};

struct DEV_BROADCAST_VOLUME {
    DWORD dbcv_size;
    DWORD dbcv_devicetype;   // DBT_DEVTYP_VOLUME
    DWORD dbcv_reserved;
    DWORD dbcv_unitmask;     // bit 0 is A
    WORD dbcv_flags;         // DBTF_NET for a network volume
};

struct DEV_BROADCAST_DEVICEINTERFACE_A {
    DWORD dbcc_size;
    DWORD dbcc_devicetype;   // DBT_DEVTYP_DEVICEINTERFACE
    DWORD dbcc_reserved;
    GUID dbcc_classguid;
    char dbcc_name[1];
};

// `root` is a letter, a colon and a backslash ("E:\"); the drive kind, or
// DRIVE_NO_ROOT_DIR when no volume has that letter. An absolute POSIX path
// (links resolved) is answered by the mount that holds it: DRIVE_FIXED for a
// local block device that is not removable, DRIVE_REMOVABLE, DRIVE_REMOTE for
// a network file system, DRIVE_RAMDISK for tmpfs, DRIVE_UNKNOWN for the rest.
UINT GetDriveTypeA(LPCSTR root);
UINT GetDriveTypeW(LPCWSTR root);

// The space of the volume that holds `folder` ("X:\..." on a lettered volume or
// an absolute POSIX path; null: the current folder's): bytes free to this user,
// total bytes, bytes free. Each out pointer may be null. FALSE when the folder
// cannot be reached.
BOOL GetDiskFreeSpaceExA(LPCSTR folder, PULARGE_INTEGER free_to_caller, PULARGE_INTEGER total, PULARGE_INTEGER free);
BOOL GetDiskFreeSpaceExW(LPCWSTR folder, PULARGE_INTEGER free_to_caller, PULARGE_INTEGER total, PULARGE_INTEGER free);

// For "X:\..." on a lettered volume or an absolute POSIX path: FILE_ATTRIBUTE_DIRECTORY
// for a folder, FILE_ATTRIBUTE_ARCHIVE for a regular file, FILE_ATTRIBUTE_NORMAL for
// anything else there; INVALID_FILE_ATTRIBUTES when nothing is.
DWORD GetFileAttributesA(LPCSTR path);
DWORD GetFileAttributesW(LPCWSTR path);

// The window hears of every volume arrival and removal from now on. `filter`
// is a broadcast header of DBT_DEVTYP_DEVICEINTERFACE or DBT_DEVTYP_VOLUME and
// `flags` DEVICE_NOTIFY_WINDOW_HANDLE; null for anything else.
HDEVNOTIFY RegisterDeviceNotificationA(HWND window, LPVOID filter, DWORD flags);
BOOL UnregisterDeviceNotification(HDEVNOTIFY handle);
