#include "outside/quicktime/Handles.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace qt {
namespace {

// The handle is the address of `data`, the block's first member.
struct Block {
    char* data;
    long size;
};

Block* block_of(Handle handle) { return reinterpret_cast<Block*>(handle); }

Handle make(long size, bool clear)
{
    if (size < 0) return nullptr;
    auto* block = new (std::nothrow) Block{nullptr, 0};
    if (block == nullptr) return nullptr;
    // One byte at least, so an empty block still has an address.
    block->data = static_cast<char*>(clear ? std::calloc(1, size + 1) : std::malloc(size + 1));
    if (block->data == nullptr) {
        delete block;
        return nullptr;
    }
    block->size = size;
    return &block->data;
}

}

Handle NewHandle(long size) { return make(size, false); }
Handle NewHandleClear(long size) { return make(size, true); }

void DisposeHandle(Handle handle)
{
    if (handle == nullptr) return;
    Block* block = block_of(handle);
    std::free(block->data);
    delete block;
}

long GetHandleSize(Handle handle) { return handle ? block_of(handle)->size : 0; }

void HLock(Handle) {}

OSErr SetHandleSize(Handle handle, long size)
{
    if (handle == nullptr || size < 0) return memFullErr;
    Block* block = block_of(handle);
    char* grown = static_cast<char*>(std::realloc(block->data, size + 1));
    if (grown == nullptr) return memFullErr;
    block->data = grown;
    block->size = size;
    return noErr;
}

}
