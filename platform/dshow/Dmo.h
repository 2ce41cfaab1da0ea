#pragma once
// DirectX Media Objects as the DMO wrapper filter meets them: the wrapper's
// own interface, and the parts of a DMO it calls: the type set-up of
// IMediaObject and the in-place processing of IMediaObjectInPlace (the only
// kind of DMO the system wraps). Methods the system's code never reaches are
// left out.

#include "platform/com/Unknown.h"
#include "platform/dshow/DShowTypes.h"

inline constexpr CLSID CLSID_DMOWrapperFilter = plat::make_guid("{94297043-BD82-4DFD-B0DE-8177739C6D20}");
inline constexpr IID IID_IDMOWrapperFilter = plat::make_guid("{52D6F586-9F0F-4824-8FC8-E32CA04930C2}");
inline constexpr IID IID_IMediaObject = plat::make_guid("{D8AD0F58-5494-4102-97C5-EC798E59BCF4}");
inline constexpr IID IID_IMediaObjectInPlace = plat::make_guid("{651B9AD0-0FC7-4AA9-9538-D89931010741}");

using DMO_MEDIA_TYPE = AM_MEDIA_TYPE;

inline constexpr DWORD DMO_SET_TYPEF_TEST_ONLY = 0x1;
inline constexpr HRESULT DMO_E_INVALIDSTREAMINDEX = static_cast<HRESULT>(0x80040201);
inline constexpr HRESULT DMO_E_TYPE_NOT_ACCEPTED = static_cast<HRESULT>(0x80040204);

#define PLAT_INTERFACE_END(Name) \
protected:                       \
    ~Name() = default

struct IDMOWrapperFilter : IUnknown {
    static constexpr const IID& iid = IID_IDMOWrapperFilter;
    // Creates the DMO of that class (of that category) for the filter to wrap.
    virtual HRESULT Init(REFCLSID dmo, REFCLSID category) = 0;
    PLAT_INTERFACE_END(IDMOWrapperFilter);
};

struct IMediaObject : IUnknown {
    static constexpr const IID& iid = IID_IMediaObject;
    // With DMO_SET_TYPEF_TEST_ONLY the type is only checked.
    virtual HRESULT SetInputType(DWORD stream, const DMO_MEDIA_TYPE* type, DWORD flags) = 0;
    virtual HRESULT SetOutputType(DWORD stream, const DMO_MEDIA_TYPE* type, DWORD flags) = 0;
    PLAT_INTERFACE_END(IMediaObject);
};

struct IMediaObjectInPlace : IUnknown {
    static constexpr const IID& iid = IID_IMediaObjectInPlace;
    // Processes size bytes of the input type in place; start is their time.
    virtual HRESULT Process(ULONG size, BYTE* data, REFERENCE_TIME start, DWORD flags) = 0;
    PLAT_INTERFACE_END(IMediaObjectInPlace);
};

#undef PLAT_INTERFACE_END
