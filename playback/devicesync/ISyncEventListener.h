#pragma once
// What the device page hears from the library manager.

#include "platform/base/Types.h"

class ISyncEventListener {
public:
    virtual void OnSyncStatus(LPCWSTR text, DWORD status) = 0;

protected:
    ~ISyncEventListener() = default;
};
