#pragma once
// CMediaType: an AM_MEDIA_TYPE that owns its format block, with value
// semantics, and the free functions for media types handed across pins.

#include "platform/dshow/DShowTypes.h"

class CMediaType : public AM_MEDIA_TYPE {
public:
    CMediaType();
    explicit CMediaType(const GUID& major);
    CMediaType(const AM_MEDIA_TYPE& other);   // deep copy
    CMediaType(const CMediaType& other);
    CMediaType(CMediaType&& other) noexcept;
    CMediaType& operator=(const AM_MEDIA_TYPE& other);
    CMediaType& operator=(const CMediaType& other);
    CMediaType& operator=(CMediaType&& other) noexcept;
    ~CMediaType();

    // Compares the GUIDs and the format bytes, as DirectShow does.
    bool operator==(const CMediaType& other) const;
    bool MatchesPartial(const AM_MEDIA_TYPE& partial) const;
    bool IsValid() const { return !(majortype == GUID_NULL); }

    const GUID* Type() const { return &majortype; }
    const GUID* Subtype() const { return &subtype; }
    const GUID* FormatType() const { return &formattype; }
    void SetType(const GUID* type) { majortype = *type; }
    void SetSubtype(const GUID* type) { subtype = *type; }
    void SetFormatType(const GUID* type) { formattype = *type; }
    void SetSampleSize(ULONG size);
    void SetVariableSize() { bFixedSizeSamples = FALSE; }
    void SetTemporalCompression(BOOL compressed) { bTemporalCompression = compressed; }
    ULONG GetSampleSize() const { return bFixedSizeSamples ? lSampleSize : 0; }

    // A zeroed block of the given length; null when memory runs out.
    BYTE* AllocFormatBuffer(ULONG length);
    bool SetFormat(const BYTE* format, ULONG length);
    BYTE* Format() const { return pbFormat; }
    ULONG FormatLength() const { return cbFormat; }
    void ResetFormatBuffer();
};

// Frees the format block of a media type record (not the record).
void FreeMediaType(AM_MEDIA_TYPE& type);
// Frees a record made by CreateMediaType, with its block.
void DeleteMediaType(AM_MEDIA_TYPE* type);
// A heap copy the receiver frees with DeleteMediaType; null when memory runs out.
AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE* source);
HRESULT CopyMediaType(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE* source);
