#pragma once
// Whole-record copies between Pellow's feed objects and their callers.

#include "platform/base/HResult.h"
#include "platform/com/ComPtr.h"

#include <new>

namespace pellow {

template <class Record>
HRESULT copy_record(const Record* from, Record* to) noexcept
try {
    if (!from || !to)
        return E_POINTER;
    if (from != to)
        *to = *from;
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

// CopyValue: writes the record into target's record, when target is one of
// Pellow's objects (answers RecordInterface). Null is E_FAIL, a stranger E_INVALIDARG.
template <class RecordInterface, class Target, class Record>
HRESULT copy_into(Target* target, const Record& record) noexcept
{
    if (!target)
        return E_FAIL;
    plat::ComPtr<RecordInterface> own;
    if (FAILED(target->QueryInterface(RecordInterface::iid, own.put_void())))
        return E_INVALIDARG;
    return own->PutRecord(&record);
}

}
