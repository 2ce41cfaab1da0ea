#pragma once
// The DirectShow interfaces the system's filters and engines call, with their
// Windows IIDs. Each declares the methods that are called here; the order of
// methods is not a binary contract in this port.

#include "platform/com/Unknown.h"
#include "platform/dshow/DShowTypes.h"

struct IMediaSample;
struct IMemAllocator;

inline constexpr IID IID_IPersist = plat::make_guid("{0000010C-0000-0000-C000-000000000046}");
inline constexpr IID IID_IMediaFilter = plat::make_guid("{56A86899-0AD4-11CE-B03A-0020AF0BA770}");
inline constexpr IID IID_IBaseFilter = plat::make_guid("{56A86895-0AD4-11CE-B03A-0020AF0BA770}");
inline constexpr IID IID_IPin = plat::make_guid("{56A86891-0AD4-11CE-B03A-0020AF0BA770}");
inline constexpr IID IID_IEnumPins = plat::make_guid("{56A86892-0AD4-11CE-B03A-0020AF0BA770}");
inline constexpr IID IID_IEnumMediaTypes = plat::make_guid("{89C31040-846B-11CE-97D3-00AA0055595A}");
inline constexpr IID IID_IMemInputPin = plat::make_guid("{56A8689D-0AD4-11CE-B03A-0020AF0BA770}");
inline constexpr IID IID_IMemAllocator = plat::make_guid("{56A8689C-0AD4-11CE-B03A-0020AF0BA770}");
inline constexpr IID IID_IMediaSample = plat::make_guid("{56A8689A-0AD4-11CE-B03A-0020AF0BA770}");
inline constexpr IID IID_IAsyncReader = plat::make_guid("{56A868AA-0AD4-11CE-B03A-0020AF0BA770}");
inline constexpr IID IID_IMediaSeeking = plat::make_guid("{36B73880-C2C8-11CF-8B46-00805F6CEF60}");
inline constexpr IID IID_IKsPropertySet = plat::make_guid("{31EFAC30-515C-11D0-A9AA-00AA0061BE93}");
inline constexpr IID IID_IFileSourceFilter = plat::make_guid("{56A868A6-0AD4-11CE-B03A-0020AF0BA770}");
inline constexpr IID IID_IFileSinkFilter = plat::make_guid("{A2104830-7C70-11CF-8BCE-00AA00A3F1A6}");
inline constexpr IID IID_IMediaControl = plat::make_guid("{56A868B1-0AD4-11CE-B03A-0020AF0BA770}");
inline constexpr IID IID_IMediaEventEx = plat::make_guid("{56A868C0-0AD4-11CE-B03A-0020AF0BA770}");
inline constexpr IID IID_IMediaEventSink = plat::make_guid("{56A868A2-0AD4-11CE-B03A-0020AF0BA770}");
inline constexpr IID IID_IFilterGraph = plat::make_guid("{56A8689F-0AD4-11CE-B03A-0020AF0BA770}");
inline constexpr IID IID_IGraphBuilder = plat::make_guid("{56A868A9-0AD4-11CE-B03A-0020AF0BA770}");
inline constexpr IID IID_IReferenceClock = plat::make_guid("{56A86897-0AD4-11CE-B03A-0020AF0BA770}");
inline constexpr IID IID_IEnumFilters = plat::make_guid("{56A86893-0AD4-11CE-B03A-0020AF0BA770}");
inline constexpr IID IID_IBasicAudio = plat::make_guid("{56A868B3-0AD4-11CE-B03A-0020AF0BA770}");

#define PLAT_INTERFACE_END(Name) \
protected:                       \
    ~Name() = default

struct IPersist : IUnknown {
    static constexpr const IID& iid = IID_IPersist;
    virtual HRESULT GetClassID(CLSID* clsid) = 0;
    PLAT_INTERFACE_END(IPersist);
};

// The time every filter of a graph presents against. Asking for a wake-up is
// left out: a renderer waits on its own event for the time still to go.
struct IReferenceClock : IUnknown {
    static constexpr const IID& iid = IID_IReferenceClock;
    // 100 ns units; never goes back.
    virtual HRESULT GetTime(REFERENCE_TIME* time) = 0;
    PLAT_INTERFACE_END(IReferenceClock);
};

struct IMediaFilter : IPersist {
    static constexpr const IID& iid = IID_IMediaFilter;
    virtual HRESULT Stop() = 0;
    virtual HRESULT Pause() = 0;
    // start: the clock time at which stream time 0 is presented.
    virtual HRESULT Run(REFERENCE_TIME start) = 0;
    virtual HRESULT GetState(DWORD timeout_ms, FILTER_STATE* state) = 0;
    // Null: no clock, samples are rendered as they arrive.
    virtual HRESULT SetSyncSource(IReferenceClock* clock) = 0;
    virtual HRESULT GetSyncSource(IReferenceClock** clock) = 0;
    PLAT_INTERFACE_END(IMediaFilter);
};

struct IEnumPins : IUnknown {
    static constexpr const IID& iid = IID_IEnumPins;
    virtual HRESULT Next(ULONG count, IPin** pins, ULONG* fetched) = 0;
    virtual HRESULT Skip(ULONG count) = 0;
    virtual HRESULT Reset() = 0;
    PLAT_INTERFACE_END(IEnumPins);
};

struct IEnumMediaTypes : IUnknown {
    static constexpr const IID& iid = IID_IEnumMediaTypes;
    // Each type handed out is the caller's, freed with DeleteMediaType.
    virtual HRESULT Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) = 0;
    virtual HRESULT Skip(ULONG count) = 0;
    virtual HRESULT Reset() = 0;
    PLAT_INTERFACE_END(IEnumMediaTypes);
};

struct IBaseFilter : IMediaFilter {
    static constexpr const IID& iid = IID_IBaseFilter;
    virtual HRESULT EnumPins(IEnumPins** pins) = 0;
    virtual HRESULT FindPin(LPCWSTR id, IPin** pin) = 0;
    virtual HRESULT QueryFilterInfo(FILTER_INFO* info) = 0;
    // The graph is not counted: it owns its filters.
    virtual HRESULT JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) = 0;
    PLAT_INTERFACE_END(IBaseFilter);
};

struct IPin : IUnknown {
    static constexpr const IID& iid = IID_IPin;
    virtual HRESULT Connect(IPin* receive_pin, const AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT Disconnect() = 0;
    virtual HRESULT ConnectedTo(IPin** pin) = 0;
    virtual HRESULT ConnectionMediaType(AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT QueryPinInfo(PIN_INFO* info) = 0;
    virtual HRESULT QueryDirection(PIN_DIRECTION* direction) = 0;
    virtual HRESULT QueryAccept(const AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT EnumMediaTypes(IEnumMediaTypes** types) = 0;
    virtual HRESULT QueryInternalConnections(IPin** pins, ULONG* count) = 0;
    virtual HRESULT EndOfStream() = 0;
    virtual HRESULT BeginFlush() = 0;
    virtual HRESULT EndFlush() = 0;
    virtual HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) = 0;
    PLAT_INTERFACE_END(IPin);
};

struct IMediaSample : IUnknown {
    static constexpr const IID& iid = IID_IMediaSample;
    virtual HRESULT GetPointer(BYTE** buffer) = 0;
    virtual LONG GetSize() = 0;
    virtual HRESULT GetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) = 0;
    virtual HRESULT SetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) = 0;
    virtual HRESULT IsSyncPoint() = 0;
    virtual HRESULT SetSyncPoint(BOOL sync) = 0;
    virtual HRESULT IsPreroll() = 0;
    virtual HRESULT SetPreroll(BOOL preroll) = 0;
    virtual LONG GetActualDataLength() = 0;
    virtual HRESULT SetActualDataLength(LONG length) = 0;
    // S_FALSE and null when the type did not change.
    virtual HRESULT GetMediaType(AM_MEDIA_TYPE** type) = 0;
    virtual HRESULT SetMediaType(AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT IsDiscontinuity() = 0;
    virtual HRESULT SetDiscontinuity(BOOL discontinuity) = 0;
    virtual HRESULT GetMediaTime(LONGLONG* start, LONGLONG* stop) = 0;
    virtual HRESULT SetMediaTime(LONGLONG* start, LONGLONG* stop) = 0;
    PLAT_INTERFACE_END(IMediaSample);
};

struct IMemAllocator : IUnknown {
    static constexpr const IID& iid = IID_IMemAllocator;
    virtual HRESULT SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) = 0;
    virtual HRESULT GetProperties(ALLOCATOR_PROPERTIES* props) = 0;
    virtual HRESULT Commit() = 0;
    virtual HRESULT Decommit() = 0;
    // Blocks until a sample is free or the allocator is decommitted.
    virtual HRESULT GetBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop, DWORD flags) = 0;
    virtual HRESULT ReleaseBuffer(IMediaSample* sample) = 0;
    PLAT_INTERFACE_END(IMemAllocator);
};

struct IMemInputPin : IUnknown {
    static constexpr const IID& iid = IID_IMemInputPin;
    virtual HRESULT GetAllocator(IMemAllocator** allocator) = 0;
    virtual HRESULT NotifyAllocator(IMemAllocator* allocator, BOOL read_only) = 0;
    virtual HRESULT GetAllocatorRequirements(ALLOCATOR_PROPERTIES* props) = 0;
    virtual HRESULT Receive(IMediaSample* sample) = 0;
    virtual HRESULT ReceiveCanBlock() = 0;
    PLAT_INTERFACE_END(IMemInputPin);
};

// The pull interface of a source's output pin. Only its synchronous part is
// offered: nothing here queues asynchronous requests.
struct IAsyncReader : IUnknown {
    static constexpr const IID& iid = IID_IAsyncReader;
    // S_FALSE when the source ends before length bytes.
    virtual HRESULT SyncRead(LONGLONG position, LONG length, BYTE* buffer) = 0;
    // total is the whole length, available what can be read now (less while a file grows).
    virtual HRESULT Length(LONGLONG* total, LONGLONG* available) = 0;
    virtual HRESULT BeginFlush() = 0;
    virtual HRESULT EndFlush() = 0;
    PLAT_INTERFACE_END(IAsyncReader);
};

struct IMediaSeeking : IUnknown {
    static constexpr const IID& iid = IID_IMediaSeeking;
    virtual HRESULT GetCapabilities(DWORD* capabilities) = 0;
    virtual HRESULT CheckCapabilities(DWORD* capabilities) = 0;
    virtual HRESULT IsFormatSupported(const GUID* format) = 0;
    virtual HRESULT QueryPreferredFormat(GUID* format) = 0;
    virtual HRESULT GetTimeFormat(GUID* format) = 0;
    virtual HRESULT IsUsingTimeFormat(const GUID* format) = 0;
    virtual HRESULT SetTimeFormat(const GUID* format) = 0;
    virtual HRESULT GetDuration(LONGLONG* duration) = 0;
    virtual HRESULT GetStopPosition(LONGLONG* stop) = 0;
    virtual HRESULT GetCurrentPosition(LONGLONG* current) = 0;
    virtual HRESULT ConvertTimeFormat(LONGLONG* target, const GUID* target_format, LONGLONG source,
                                      const GUID* source_format) = 0;
    virtual HRESULT SetPositions(LONGLONG* current, DWORD current_flags, LONGLONG* stop, DWORD stop_flags) = 0;
    virtual HRESULT GetPositions(LONGLONG* current, LONGLONG* stop) = 0;
    virtual HRESULT GetAvailable(LONGLONG* earliest, LONGLONG* latest) = 0;
    virtual HRESULT SetRate(double rate) = 0;
    virtual HRESULT GetRate(double* rate) = 0;
    virtual HRESULT GetPreroll(LONGLONG* preroll) = 0;
    PLAT_INTERFACE_END(IMediaSeeking);
};

struct IKsPropertySet : IUnknown {
    static constexpr const IID& iid = IID_IKsPropertySet;
    virtual HRESULT Set(REFGUID set, DWORD id, LPVOID instance, DWORD instance_length, LPVOID data,
                        DWORD data_length) = 0;
    virtual HRESULT Get(REFGUID set, DWORD id, LPVOID instance, DWORD instance_length, LPVOID data,
                        DWORD data_length, DWORD* returned) = 0;
    virtual HRESULT QuerySupported(REFGUID set, DWORD id, DWORD* support) = 0;
    PLAT_INTERFACE_END(IKsPropertySet);
};

struct IFileSourceFilter : IUnknown {
    static constexpr const IID& iid = IID_IFileSourceFilter;
    virtual HRESULT Load(LPCWSTR file_name, const AM_MEDIA_TYPE* type) = 0;
    // A task-memory copy of the loaded name (null with S_OK when none) the caller
    // frees with CoTaskMemFree; type, when given, is filled as the source chooses.
    virtual HRESULT GetCurFile(LPWSTR* file_name, AM_MEDIA_TYPE* type) = 0;
    PLAT_INTERFACE_END(IFileSourceFilter);
};

struct IFileSinkFilter : IUnknown {
    static constexpr const IID& iid = IID_IFileSinkFilter;
    // The file the filter writes; the type, when given, is the filter's to read.
    virtual HRESULT SetFileName(LPCWSTR file_name, const AM_MEDIA_TYPE* type) = 0;
    PLAT_INTERFACE_END(IFileSinkFilter);
};

// Ours, not Windows': where a sink stands in its stream, which the graph's
// current position is asked of (a renderer: what it presented or played; a
// multiplexer: what it wrote).
inline constexpr IID IID_ISinkPosition = plat::make_guid("{864389C8-AA9C-4C70-A491-2418E878989A}");

struct ISinkPosition : IUnknown {
    static constexpr const IID& iid = IID_ISinkPosition;
    // In media time (the segment's start plus the time within it, 100 ns
    // units); S_FALSE with 0 before anything went out.
    virtual HRESULT GetSinkPosition(REFERENCE_TIME* position) = 0;
    PLAT_INTERFACE_END(ISinkPosition);
};

struct IMediaControl : IUnknown {
    static constexpr const IID& iid = IID_IMediaControl;
    virtual HRESULT Run() = 0;
    virtual HRESULT Pause() = 0;
    virtual HRESULT Stop() = 0;
    virtual HRESULT GetState(LONG timeout_ms, OAFilterState* state) = 0;
    PLAT_INTERFACE_END(IMediaControl);
};

struct IMediaEventEx : IUnknown {
    static constexpr const IID& iid = IID_IMediaEventEx;
    // A manual-reset plat::Event, set while events wait to be taken, as an OAEVENT
    // (its address). The graph owns it: it lives as long as the graph; never reset it.
    virtual HRESULT GetEventHandle(OAEVENT* handle) = 0;
    // E_ABORT when no event came within the time-out.
    virtual HRESULT GetEvent(LONG* code, LONG_PTR* param1, LONG_PTR* param2, LONG timeout_ms) = 0;
    // Waits for completion or an abort; E_ABORT on time-out.
    virtual HRESULT WaitForCompletion(LONG timeout_ms, LONG* code) = 0;
    virtual HRESULT FreeEventParams(LONG code, LONG_PTR param1, LONG_PTR param2) = 0;
    PLAT_INTERFACE_END(IMediaEventEx);
};

// How filters report events to their graph.
struct IMediaEventSink : IUnknown {
    static constexpr const IID& iid = IID_IMediaEventSink;
    virtual HRESULT Notify(LONG code, LONG_PTR param1, LONG_PTR param2) = 0;
    PLAT_INTERFACE_END(IMediaEventSink);
};

struct IEnumFilters : IUnknown {
    static constexpr const IID& iid = IID_IEnumFilters;
    virtual HRESULT Next(ULONG count, IBaseFilter** filters, ULONG* fetched) = 0;
    virtual HRESULT Skip(ULONG count) = 0;
    virtual HRESULT Reset() = 0;
    PLAT_INTERFACE_END(IEnumFilters);
};

// Volume in hundredths of a decibel, 0 (full) down to -10000 (silence);
// balance from -10000 (left only) to 10000 (right only).
struct IBasicAudio : IUnknown {
    static constexpr const IID& iid = IID_IBasicAudio;
    virtual HRESULT put_Volume(LONG volume) = 0;
    virtual HRESULT get_Volume(LONG* volume) = 0;
    virtual HRESULT put_Balance(LONG balance) = 0;
    virtual HRESULT get_Balance(LONG* balance) = 0;
    PLAT_INTERFACE_END(IBasicAudio);
};

struct IFilterGraph : IUnknown {
    static constexpr const IID& iid = IID_IFilterGraph;
    virtual HRESULT AddFilter(IBaseFilter* filter, LPCWSTR name) = 0;
    virtual HRESULT RemoveFilter(IBaseFilter* filter) = 0;
    // The filters in the order they were added.
    virtual HRESULT EnumFilters(IEnumFilters** filters) = 0;
    virtual HRESULT FindFilterByName(LPCWSTR name, IBaseFilter** filter) = 0;
    virtual HRESULT ConnectDirect(IPin* output, IPin* input, const AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT Disconnect(IPin* pin) = 0;
    PLAT_INTERFACE_END(IFilterGraph);
};

struct IGraphBuilder : IFilterGraph {
    static constexpr const IID& iid = IID_IGraphBuilder;
    // Direct first, then through intermediate filters chosen by merit.
    virtual HRESULT Connect(IPin* output, IPin* input) = 0;
    // Connects the output through filters chosen by merit until every stream
    // it leads to ends in a filter without outputs (a renderer or a sink).
    virtual HRESULT Render(IPin* output) = 0;
    PLAT_INTERFACE_END(IGraphBuilder);
};

#undef PLAT_INTERFACE_END
