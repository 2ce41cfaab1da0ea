#pragma once
// What "Corva Net Source" reads from: the engine that feeds a network stream
// from its data store. Not reference counted: the engine removes the source
// from its graph before it goes.

#include "platform/base/Types.h"

struct ISourceManager {
    // Up to length bytes at position into buffer, waiting for bytes not yet
    // arrived (a stop ends the wait); *read gets how many came. Always 1.
    virtual LONG ReadData(LONGLONG position, LONG length, BYTE* buffer, LONG* read) = 0;
    // The stream's whole size in bytes (an estimate while it is not known).
    virtual LONGLONG GetTotalSize() = 0;

protected:
    ~ISourceManager() = default;
};
