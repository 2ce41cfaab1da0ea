#pragma once
// The DirectShow scalar types, records and result codes that filters and
// their callers share, with the Windows numbers.

#include "platform/base/Guid.h"
#include "platform/base/HResult.h"

struct IUnknown;
struct IPin;
struct IBaseFilter;
struct IFilterGraph;

// Times are signed counts of 100 ns.
using REFERENCE_TIME = LONGLONG;
inline constexpr REFERENCE_TIME UNITS = 10000000;

enum PIN_DIRECTION { PINDIR_INPUT = 0, PINDIR_OUTPUT = 1 };
enum FILTER_STATE { State_Stopped = 0, State_Paused = 1, State_Running = 2 };
using OAFilterState = LONG;
// The graph's event handle: the address of its plat::Event (see IMediaEventEx).
using OAEVENT = LONG_PTR;

inline constexpr int MAX_PIN_NAME = 128;
inline constexpr int MAX_FILTER_NAME = 128;

struct PIN_INFO {
    IBaseFilter* pFilter;   // counted: the caller releases it
    PIN_DIRECTION dir;
    WCHAR achName[MAX_PIN_NAME];
};

struct FILTER_INFO {
    WCHAR achName[MAX_FILTER_NAME];
    IFilterGraph* pGraph;   // counted when not null
};

struct AM_MEDIA_TYPE {
    GUID majortype;
    GUID subtype;
    BOOL bFixedSizeSamples;
    BOOL bTemporalCompression;
    ULONG lSampleSize;
    GUID formattype;
    IUnknown* pUnk;
    ULONG cbFormat;
    BYTE* pbFormat;   // owned by whoever owns the record; freed by FreeMediaType
};

struct ALLOCATOR_PROPERTIES {
    LONG cBuffers;
    LONG cbBuffer;
    LONG cbAlign;
    LONG cbPrefix;
};

// IMediaSeeking positioning flags and capabilities.
inline constexpr DWORD AM_SEEKING_NoPositioning = 0;
inline constexpr DWORD AM_SEEKING_AbsolutePositioning = 1;
inline constexpr DWORD AM_SEEKING_RelativePositioning = 2;
inline constexpr DWORD AM_SEEKING_IncrementalPositioning = 3;
inline constexpr DWORD AM_SEEKING_PositioningBitsMask = 3;
inline constexpr DWORD AM_SEEKING_CanSeekAbsolute = 0x1;
inline constexpr DWORD AM_SEEKING_CanSeekForwards = 0x2;
inline constexpr DWORD AM_SEEKING_CanSeekBackwards = 0x4;
inline constexpr DWORD AM_SEEKING_CanGetCurrentPos = 0x8;
inline constexpr DWORD AM_SEEKING_CanGetStopPos = 0x10;
inline constexpr DWORD AM_SEEKING_CanGetDuration = 0x20;

inline constexpr GUID TIME_FORMAT_MEDIA_TIME = plat::make_guid("{7B785574-8C82-11CF-BC0C-00AA00AC74F6}");

// Filter merits.
inline constexpr DWORD MERIT_PREFERRED = 0x800000;
inline constexpr DWORD MERIT_NORMAL = 0x600000;
inline constexpr DWORD MERIT_UNLIKELY = 0x400000;
inline constexpr DWORD MERIT_DO_NOT_USE = 0x200000;

// Graph events.
inline constexpr LONG EC_COMPLETE = 0x01;
inline constexpr LONG EC_USERABORT = 0x02;
inline constexpr LONG EC_ERRORABORT = 0x03;

// DirectShow results.
inline constexpr HRESULT VFW_S_NO_MORE_ITEMS = 0x00040103;
inline constexpr HRESULT VFW_E_ALREADY_CONNECTED = hresult(0x80040204);
inline constexpr HRESULT VFW_E_NO_ACCEPTABLE_TYPES = hresult(0x80040207);
inline constexpr HRESULT VFW_E_INVALID_DIRECTION = hresult(0x80040208);
inline constexpr HRESULT VFW_E_NOT_CONNECTED = hresult(0x80040209);
inline constexpr HRESULT VFW_E_NO_ALLOCATOR = hresult(0x8004020A);
inline constexpr HRESULT VFW_E_RUNTIME_ERROR = hresult(0x8004020B);
inline constexpr HRESULT VFW_E_BUFFER_OVERFLOW = hresult(0x8004020D);
inline constexpr HRESULT VFW_E_SAMPLE_TIME_NOT_SET = hresult(0x80040249);
inline constexpr HRESULT VFW_S_NO_STOP_TIME = 0x00040270;
inline constexpr HRESULT VFW_E_MEDIA_TIME_NOT_SET = hresult(0x80040251);
inline constexpr HRESULT VFW_E_ALREADY_COMMITTED = hresult(0x8004020F);
inline constexpr HRESULT VFW_E_BUFFERS_OUTSTANDING = hresult(0x80040210);
inline constexpr HRESULT VFW_E_NOT_COMMITTED = hresult(0x80040211);
inline constexpr HRESULT VFW_E_SIZENOTSET = hresult(0x80040212);
inline constexpr HRESULT VFW_E_NOT_FOUND = hresult(0x80040216);
inline constexpr HRESULT VFW_E_NO_CLOCK = hresult(0x80040213);
inline constexpr HRESULT VFW_E_CANNOT_CONNECT = hresult(0x80040217);
inline constexpr HRESULT VFW_E_NOT_STOPPED = hresult(0x80040224);
inline constexpr HRESULT VFW_E_WRONG_STATE = hresult(0x80040227);
inline constexpr HRESULT VFW_E_TYPE_NOT_ACCEPTED = hresult(0x8004022A);
// A property set, or a property of a known set, that an IKsPropertySet does not have.
inline constexpr HRESULT E_PROP_SET_UNSUPPORTED = hresult(0x80070492);
inline constexpr HRESULT E_PROP_ID_UNSUPPORTED = hresult(0x80070490);
inline constexpr HRESULT VFW_E_INVALID_FILE_FORMAT = hresult(0x8004022F);
