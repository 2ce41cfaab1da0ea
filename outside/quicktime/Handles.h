#pragma once
// The memory manager's relocatable blocks. A handle points at its block's
// data pointer; blocks never move here, so HLock only keeps the name.

#include "outside/quicktime/QuickTimeTypes.h"

#include <cstddef>

namespace qt {

// Null when memory runs out.
Handle NewHandle(long size);
Handle NewHandleClear(long size);
void DisposeHandle(Handle handle);
long GetHandleSize(Handle handle);
void HLock(Handle handle);
// For the back ends that fill handles; memFullErr when memory runs out (the block stays).
OSErr SetHandleSize(Handle handle, long size);

}
