#pragma once
// What the device page hears from the device detector. The download events
// of the same interface come with the sync logic that forwards them.

class IDeviceEventListener {
public:
    virtual void OnDeviceArrival(char letter) = 0;
    virtual void OnDeviceRemoval(char letter) = 0;

protected:
    ~IDeviceEventListener() = default;
};
