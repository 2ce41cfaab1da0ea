// SAFEARRAY of VARIANTs: the header and its elements in one allocation.

#include "platform/automation/SafeArray.h"

#include <cstdlib>
#include <new>

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lower, ULONG count) noexcept
{
    if (vt != VT_VARIANT || count > (0x7FFFFFFFu - sizeof(SAFEARRAY)) / sizeof(VARIANT))
        return nullptr;
    void* block = std::calloc(1, sizeof(SAFEARRAY) + std::size_t{count} * sizeof(VARIANT));
    if (!block)
        return nullptr;
    auto* array = static_cast<SAFEARRAY*>(block);
    array->cDims = 1;
    array->fFeatures = FADF_VARIANT;
    array->cbElements = sizeof(VARIANT);
    array->pvData = static_cast<char*>(block) + sizeof(SAFEARRAY);
    array->rgsabound[0] = {count, lower};
    auto* elements = static_cast<VARIANT*>(array->pvData);
    for (ULONG i = 0; i < count; ++i)
        VariantInit(&elements[i]);
    return array;
}

HRESULT SafeArrayDestroy(SAFEARRAY* array) noexcept
{
    if (!array)
        return S_OK;
    if (array->cLocks)
        return DISP_E_ARRAYISLOCKED;
    auto* elements = static_cast<VARIANT*>(array->pvData);
    for (ULONG i = 0; i < array->rgsabound[0].cElements; ++i)
        VariantClear(&elements[i]);
    std::free(array);
    return S_OK;
}

HRESULT SafeArrayAccessData(SAFEARRAY* array, void** data) noexcept
{
    if (!array || !data)
        return E_INVALIDARG;
    ++array->cLocks;
    *data = array->pvData;
    return S_OK;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* array) noexcept
{
    if (!array)
        return E_INVALIDARG;
    if (array->cLocks == 0)
        return E_UNEXPECTED;
    --array->cLocks;
    return S_OK;
}
