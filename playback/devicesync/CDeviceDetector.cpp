#include "CDeviceDetector.h"

#include "IDeviceEventListener.h"
#include "platform/devices/Drives.h"

#include <algorithm>
#include <string>

namespace {

// The disk device interface class: notifications of disks coming and going.
constexpr GUID disk_interface_class = {0x53f56307, 0xb6bf, 0x11d0, {0x94, 0xf2, 0x00, 0xa0, 0xc9, 0x1e, 0xfb, 0x8b}};

bool is_folder(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}

CDeviceDetector::~CDeviceDetector()
{
    if (m_notification != nullptr) UnregisterDeviceNotification(m_notification);
}

void CDeviceDetector::ScanDrives(HWND window)
{
    // A and B were floppy drives: never an iPod.
    for (char letter = 'C'; letter <= 'Z'; ++letter) {
        const char root[] = {letter, ':', '\\', 0};
        if (GetDriveTypeA(root) == DRIVE_REMOVABLE && HoldsIPod(letter)) add_letter(letter);
    }
    if (window == nullptr || m_notification != nullptr) return;
    DEV_BROADCAST_DEVICEINTERFACE_A filter{};
    static_assert(sizeof filter == 32);
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = disk_interface_class;
    m_notification = RegisterDeviceNotificationA(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
}

bool CDeviceDetector::OnDeviceChange(WPARAM event, LPARAM record)
{
    if (record == 0 || (event != DBT_DEVICEARRIVAL && event != DBT_DEVICEREMOVECOMPLETE)) return false;
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(record);
    if (header->dbch_devicetype != DBT_DEVTYP_VOLUME) return false;
    const auto* volume = reinterpret_cast<const DEV_BROADCAST_VOLUME*>(record);
    if (volume->dbcv_flags == DBTF_NET) return false;
    const DWORD letters = volume->dbcv_unitmask & ((DWORD{1} << 26) - 1);
    if (letters == 0) return false;
    int bit = 0;
    while ((letters & (DWORD{1} << bit)) == 0) ++bit;
    const char letter = static_cast<char>('A' + bit);
    if (event == DBT_DEVICEREMOVECOMPLETE) {
        remove_letter(letter);
        return true;
    }
    if (!HoldsIPod(letter)) return false;
    add_letter(letter);
    return true;
}

bool CDeviceDetector::HoldsIPod(char letter)
{
    const std::string root = std::string(1, letter) + ":\\";
    return is_folder(root + "iPod_Control") || is_folder(root + "iTunes_Control");
}

void CDeviceDetector::AddListener(IDeviceEventListener* listener)
{
    if (listener != nullptr) m_listeners.push_back(listener);
}

void CDeviceDetector::add_letter(char letter)
{
    if (std::find(m_letters.begin(), m_letters.end(), letter) != m_letters.end()) return;
    m_letters.push_back(letter);
    for (IDeviceEventListener* listener : m_listeners) listener->OnDeviceArrival(letter);
}

void CDeviceDetector::remove_letter(char letter)
{
    const auto it = std::find(m_letters.begin(), m_letters.end(), letter);
    if (it == m_letters.end()) return;
    m_letters.erase(it);
    for (IDeviceEventListener* listener : m_listeners) listener->OnDeviceRemoval(letter);
}
