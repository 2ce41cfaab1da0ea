#pragma once
// An in-memory source for the splitter's readers: `available` bytes can be
// read now, `total` is what Length reports as whole (less than the bytes
// there, or zero, to act as a file that is still growing).

#include "platform/dshow/Interfaces.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <vector>

namespace splitter_testing {

class MemoryReader final : public IAsyncReader {
public:
    explicit MemoryReader(std::vector<BYTE> bytes) : data(std::move(bytes)), total(data.size()), available(data.size()) {}

    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return ++ref; }
    ULONG Release() override { return --ref; }
    HRESULT SyncRead(LONGLONG position, LONG length, BYTE* buffer) override
    {
        ++reads;
        if (position < 0 || length < 0) return E_INVALIDARG;
        LONGLONG n = std::clamp<LONGLONG>(available - position, 0, length);
        if (n > 0) std::memcpy(buffer, data.data() + position, static_cast<std::size_t>(n));
        return n == length ? S_OK : S_FALSE;
    }
    HRESULT Length(LONGLONG* t, LONGLONG* a) override
    {
        *t = total;
        *a = available;
        return S_OK;
    }
    HRESULT BeginFlush() override { return S_OK; }
    HRESULT EndFlush() override { return S_OK; }

    std::vector<BYTE> data;
    LONGLONG total, available;
    int reads{0};
    std::atomic<ULONG> ref{1};   // owned by its creator: references never free it
};

}
