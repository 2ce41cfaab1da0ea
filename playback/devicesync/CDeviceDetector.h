#pragma once
// Knows which drive letters hold an iPod: scans the drives once, then follows
// the volume arrivals and removals its window hears of, and tells listeners.

#include "platform/base/Types.h"

#include <vector>

class IDeviceEventListener;
struct HWND__;
using HWND = HWND__*;

class CDeviceDetector {
public:
    CDeviceDetector() = default;
    ~CDeviceDetector();
    CDeviceDetector(const CDeviceDetector&) = delete;
    CDeviceDetector& operator=(const CDeviceDetector&) = delete;

    // Lists the iPods on removable drives C to Z, then registers `window`
    // (when given) for device notifications.
    void ScanDrives(HWND window);

    // WM_DEVICECHANGE: true for the arrival of an iPod volume or the removal
    // of a non-network volume.
    bool OnDeviceChange(WPARAM event, LPARAM record);

    // The drive's root holds "iPod_Control" or "iTunes_Control" as a folder.
    static bool HoldsIPod(char letter);

    void AddListener(IDeviceEventListener* listener);
    bool HasDevice() const { return !m_letters.empty(); }
    const std::vector<char>& Letters() const { return m_letters; }

private:
    void add_letter(char letter);
    void remove_letter(char letter);

    std::vector<char> m_letters;   // in the order found, each once
    std::vector<IDeviceEventListener*> m_listeners;
    void* m_notification = nullptr;   // the window's registration, null when none
};
