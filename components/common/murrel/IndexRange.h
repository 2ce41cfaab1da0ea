#pragma once
// The set of segment indexes an item holds: a sorted list of inclusive
// ranges of 64-bit indexes. Exported with public fields: outside users read
// the ranges directly after an item filled an instance for them.

#include "components/common/murrel/Export.h"
#include "platform/base/Types.h"

// Operations answer 0, or 100 when memory runs out or an argument is out of
// range; the range is then unchanged. They throw nothing of the library's own.
class MURREL_EXPORT tIndexRange {
public:
    ULONGLONG first{0};          // smallest index, kept by Assign, InsertPair and assignment
    ULONGLONG last{0};           // largest index, kept like first
    int count{0};                // entries in use, two per range (start, end)
    ULONGLONG* entries{nullptr}; // owned: array new and delete; null while nothing was allocated
    int capacity{0};             // entries allocated

    tIndexRange() = default;
    // Copying throws std::bad_alloc when memory runs out.
    tIndexRange(const tIndexRange& other);
    tIndexRange& operator=(const tIndexRange& other);
    ~tIndexRange();

    // count counts entries, not ranges; it must be even.
    int Assign(int count, const ULONGLONG* entries);
    // Adds one index; first and last are left alone.
    int InsertOne(ULONGLONG index);
    // Grows the array by n zeroed entries.
    int IncreaseArray(int n);
    // Puts [index, index] at entry position (even, at most count) without checking the order.
    int InsertIsolatedRange(ULONGLONG index, int position);
    // Joins the range ending at entry position - 1 with the one starting at position.
    int MergeIndexRange(int position);
    // Adds every index from `from` to `to` inclusive, then refreshes first and last.
    int InsertPair(ULONGLONG from, ULONGLONG to);
    void Reset();

private:
    int insert_range(ULONGLONG from, ULONGLONG to);
    void copy_from(const tIndexRange& other);
};
