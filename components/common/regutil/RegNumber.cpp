#include "components/common/regutil/RegNumber.h"

DWORD HoldToRange(const RegNumber& number, DWORD value)
{
    return value >= number.low && value <= number.high ? value : number.fallback;
}

DWORD ReadNumber(const CUTILregEx& key, const RegNumber& number)
{
    DWORD value = number.fallback;
    key.GetDWORD(number.name, value);   // a failed read keeps the default
    return HoldToRange(number, value);
}
