#include "IndexRange.h"

#include "components/common/baseinterface/BaseInterface.h"

#include <algorithm>
#include <climits>
#include <new>

namespace {

constexpr int growth_step = 20;

}

tIndexRange::tIndexRange(const tIndexRange& other)
{
    copy_from(other);
}

tIndexRange& tIndexRange::operator=(const tIndexRange& other)
{
    if (this != &other) copy_from(other);
    return *this;
}

tIndexRange::~tIndexRange()
{
    delete[] entries;
}

void tIndexRange::copy_from(const tIndexRange& other)
{
    ULONGLONG* copy = nullptr;
    const int n = std::max(other.count, 0);
    if (n > 0) {
        copy = new ULONGLONG[n];
        std::copy(other.entries, other.entries + n, copy);
    }
    delete[] entries;
    entries = copy;
    count = capacity = n;
    first = other.first;
    last = other.last;
}

int tIndexRange::Assign(int n, const ULONGLONG* source)
{
    if (n < 0 || n % 2 != 0 || (n > 0 && source == nullptr)) return RESULT_FAIL;
    ULONGLONG* copy = nullptr;
    if (n > 0) {
        copy = new (std::nothrow) ULONGLONG[n];
        if (copy == nullptr) return RESULT_FAIL;
        std::copy(source, source + n, copy);
    }
    delete[] entries;
    entries = copy;
    count = capacity = n;
    first = n > 0 ? copy[0] : 0;
    last = n > 0 ? copy[n - 1] : 0;
    return RESULT_OK;
}

int tIndexRange::IncreaseArray(int n)
{
    if (n <= 0 || capacity > INT_MAX - n) return RESULT_FAIL;
    auto* grown = new (std::nothrow) ULONGLONG[capacity + n]();
    if (grown == nullptr) return RESULT_FAIL;
    std::copy(entries, entries + count, grown);
    delete[] entries;
    entries = grown;
    capacity += n;
    return RESULT_OK;
}

int tIndexRange::InsertIsolatedRange(ULONGLONG index, int position)
{
    if (position < 0 || position > count || position % 2 != 0) return RESULT_FAIL;
    if (count + 2 > capacity && IncreaseArray(growth_step) != RESULT_OK) return RESULT_FAIL;
    std::copy_backward(entries + position, entries + count, entries + count + 2);
    entries[position] = entries[position + 1] = index;
    count += 2;
    return RESULT_OK;
}

int tIndexRange::MergeIndexRange(int position)
{
    if (position < 2 || position > count - 2 || position % 2 != 0) return RESULT_FAIL;
    entries[position - 1] = entries[position + 1];
    std::copy(entries + position + 2, entries + count, entries + position);
    count -= 2;
    return RESULT_OK;
}

int tIndexRange::InsertOne(ULONGLONG index)
{
    return insert_range(index, index);
}

int tIndexRange::InsertPair(ULONGLONG from, ULONGLONG to)
{
    if (from <= to && insert_range(from, to) != RESULT_OK) return RESULT_FAIL;
    if (count > 0) {
        first = entries[0];
        last = entries[count - 1];
    }
    return RESULT_OK;
}

// Joins [from, to] with every range it overlaps or touches, keeping the
// ranges sorted and apart by at least one missing index.
int tIndexRange::insert_range(ULONGLONG from, ULONGLONG to)
{
    const int ranges = count / 2;
    int j = 0;
    while (j < ranges && entries[2 * j + 1] < from && entries[2 * j + 1] + 1 < from) ++j;
    int k = j;
    ULONGLONG start = from;
    ULONGLONG end = to;
    while (k < ranges && (entries[2 * k] <= to || entries[2 * k] - 1 == to)) {
        start = std::min(start, entries[2 * k]);
        end = std::max(end, entries[2 * k + 1]);
        ++k;
    }
    if (k == j) {
        if (InsertIsolatedRange(start, 2 * j) != RESULT_OK) return RESULT_FAIL;
        entries[2 * j + 1] = end;
        return RESULT_OK;
    }
    entries[2 * j] = start;
    entries[2 * j + 1] = end;
    std::copy(entries + 2 * k, entries + count, entries + 2 * j + 2);
    count -= 2 * (k - j - 1);
    return RESULT_OK;
}

void tIndexRange::Reset()
{
    delete[] entries;
    entries = nullptr;
    count = capacity = 0;
    first = last = 0;
}
