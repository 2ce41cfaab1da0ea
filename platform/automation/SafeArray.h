#pragma once
// One-dimensional SAFEARRAYs of VARIANTs, the one kind the system builds: a
// document's write takes its text as a one-element array of VARIANTs.

#include "platform/automation/Variant.h"

struct SAFEARRAYBOUND {
    ULONG cElements;
    LONG lLbound;
};

struct SAFEARRAY {
    USHORT cDims;
    USHORT fFeatures;
    ULONG cbElements;
    ULONG cLocks;
    void* pvData;
    SAFEARRAYBOUND rgsabound[1];
};

inline constexpr USHORT FADF_VARIANT = 0x0800;
inline constexpr HRESULT DISP_E_ARRAYISLOCKED = hresult(0x8002000D);

// A new array of `count` empty VARIANTs indexed from `lower`; null for any
// element type but VT_VARIANT or when memory runs out.
SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lower, ULONG count) noexcept;
// Clears every element, then frees the array. DISP_E_ARRAYISLOCKED while
// data access is open; S_OK for null.
HRESULT SafeArrayDestroy(SAFEARRAY* array) noexcept;
// Opens data access: *data points at the first element. Calls nest.
HRESULT SafeArrayAccessData(SAFEARRAY* array, void** data) noexcept;
// E_UNEXPECTED when no access is open.
HRESULT SafeArrayUnaccessData(SAFEARRAY* array) noexcept;
