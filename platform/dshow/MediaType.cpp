#include "platform/dshow/MediaType.h"

#include "platform/com/Com.h"

#include <cstring>
#include <new>
#include <utility>

namespace {

AM_MEDIA_TYPE empty_type()
{
    AM_MEDIA_TYPE t{};
    t.bFixedSizeSamples = TRUE;
    t.lSampleSize = 1;
    return t;
}

}

void FreeMediaType(AM_MEDIA_TYPE& type)
{
    CoTaskMemFree(type.pbFormat);
    type.pbFormat = nullptr;
    type.cbFormat = 0;
    type.formattype = GUID_NULL;
    if (type.pUnk) {
        type.pUnk->Release();
        type.pUnk = nullptr;
    }
}

void DeleteMediaType(AM_MEDIA_TYPE* type)
{
    if (!type) return;
    FreeMediaType(*type);
    CoTaskMemFree(type);
}

HRESULT CopyMediaType(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE* source)
{
    if (!target || !source) return E_POINTER;
    *target = *source;
    if (source->cbFormat) {
        target->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(source->cbFormat));
        if (!target->pbFormat) {
            target->cbFormat = 0;
            return E_OUTOFMEMORY;
        }
        std::memcpy(target->pbFormat, source->pbFormat, source->cbFormat);
    } else {
        target->pbFormat = nullptr;
    }
    if (target->pUnk) target->pUnk->AddRef();
    return S_OK;
}

AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE* source)
{
    auto* t = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    if (!t) return nullptr;
    if (FAILED(CopyMediaType(t, source))) {
        CoTaskMemFree(t);
        return nullptr;
    }
    return t;
}

CMediaType::CMediaType() : AM_MEDIA_TYPE(empty_type()) {}

CMediaType::CMediaType(const GUID& major) : CMediaType() { majortype = major; }

CMediaType::CMediaType(const AM_MEDIA_TYPE& other) : CMediaType()
{
    if (FAILED(CopyMediaType(this, &other))) throw std::bad_alloc();
}

CMediaType::CMediaType(const CMediaType& other) : CMediaType(static_cast<const AM_MEDIA_TYPE&>(other)) {}

CMediaType::CMediaType(CMediaType&& other) noexcept : AM_MEDIA_TYPE(other)
{
    static_cast<AM_MEDIA_TYPE&>(other) = empty_type();
}

CMediaType& CMediaType::operator=(const AM_MEDIA_TYPE& other)
{
    if (&other != this) {
        CMediaType copy(other);
        *this = std::move(copy);
    }
    return *this;
}

CMediaType& CMediaType::operator=(const CMediaType& other)
{
    return *this = static_cast<const AM_MEDIA_TYPE&>(other);
}

CMediaType& CMediaType::operator=(CMediaType&& other) noexcept
{
    if (&other != this) {
        FreeMediaType(*this);
        static_cast<AM_MEDIA_TYPE&>(*this) = other;
        static_cast<AM_MEDIA_TYPE&>(other) = empty_type();
    }
    return *this;
}

CMediaType::~CMediaType() { FreeMediaType(*this); }

bool CMediaType::operator==(const CMediaType& other) const
{
    return majortype == other.majortype && subtype == other.subtype && formattype == other.formattype &&
           cbFormat == other.cbFormat && (cbFormat == 0 || std::memcmp(pbFormat, other.pbFormat, cbFormat) == 0);
}

bool CMediaType::MatchesPartial(const AM_MEDIA_TYPE& partial) const
{
    if (!(partial.majortype == GUID_NULL) && !(partial.majortype == majortype)) return false;
    if (!(partial.subtype == GUID_NULL) && !(partial.subtype == subtype)) return false;
    if (partial.formattype == GUID_NULL) return true;
    return partial.formattype == formattype && partial.cbFormat == cbFormat &&
           (cbFormat == 0 || std::memcmp(pbFormat, partial.pbFormat, cbFormat) == 0);
}

void CMediaType::SetSampleSize(ULONG size)
{
    if (size == 0) {
        SetVariableSize();
    } else {
        bFixedSizeSamples = TRUE;
        lSampleSize = size;
    }
}

BYTE* CMediaType::AllocFormatBuffer(ULONG length)
{
    if (length == 0) {
        ResetFormatBuffer();
        return nullptr;
    }
    auto* block = static_cast<BYTE*>(CoTaskMemAlloc(length));
    if (!block) return nullptr;
    std::memset(block, 0, length);
    CoTaskMemFree(pbFormat);
    pbFormat = block;
    cbFormat = length;
    return block;
}

bool CMediaType::SetFormat(const BYTE* format, ULONG length)
{
    BYTE* block = AllocFormatBuffer(length);
    if (length && !block) return false;
    if (length) std::memcpy(block, format, length);
    return true;
}

void CMediaType::ResetFormatBuffer()
{
    CoTaskMemFree(pbFormat);
    pbFormat = nullptr;
    cbFormat = 0;
}
