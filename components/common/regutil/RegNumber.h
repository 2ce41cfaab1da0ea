#pragma once
// Numbers kept in the registry, each with the default its readers take and
// the range they accept. A stored value outside the range (typed in by hand,
// left by another version) reads as the default: no reader ever sees it.

#include "components/common/regutil/CUTILregEx.h"

struct RegNumber {
    LPCWSTR name;
    DWORD fallback;   // missing, of another type, or out of range
    DWORD low;        // the smallest value accepted
    DWORD high;       // the largest value accepted
};

// The value when the number's range holds it, else the number's default.
DWORD HoldToRange(const RegNumber& number, DWORD value);
// The number read from an open key and held to its range.
DWORD ReadNumber(const CUTILregEx& key, const RegNumber& number);
