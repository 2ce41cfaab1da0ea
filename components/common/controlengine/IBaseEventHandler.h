#pragma once
// The event callback through which the control engines and the download
// manager report to the application's logic objects.

#include "platform/base/Types.h"

// Values that may carry a pointer (an engine's item record, a pointer to a
// 64-bit position) are pointer-sized; the sender is whatever record the source
// names and is only valid for the duration of the call.
class IBaseEventHandler {
public:
    // Slot 0. Answers 0 when handled; a handler that does not know the sender may answer -1.
    virtual LONG OnEvent(void* sender, LONG code, INT_PTR value, INT_PTR extra) = 0;

protected:
    ~IBaseEventHandler() = default;
};
