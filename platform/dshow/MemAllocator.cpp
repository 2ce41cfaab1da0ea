#include "platform/dshow/MemAllocator.h"

#include "platform/dshow/MediaType.h"

#include <algorithm>
#include <new>

CMediaSample::CMediaSample(CMemAllocator* allocator, BYTE* buffer, LONG size)
    : m_allocator(allocator), m_buffer(buffer), m_size(size)
{
}

CMediaSample::~CMediaSample() { DeleteMediaType(m_type); }

HRESULT CMediaSample::QueryInterface(REFIID riid, void** object)
{
    if (!object) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IMediaSample) {
        *object = static_cast<IMediaSample*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG CMediaSample::AddRef() { return ++m_ref; }

ULONG CMediaSample::Release()
{
    ULONG left = --m_ref;
    if (left == 0) m_allocator->ReleaseBuffer(this);
    return left;
}

void CMediaSample::ResetForReuse()
{
    m_actual = 0;
    m_has_time = m_has_stop = m_has_media_time = false;
    m_sync = m_preroll = m_discontinuity = false;
    DeleteMediaType(m_type);
    m_type = nullptr;
}

HRESULT CMediaSample::GetPointer(BYTE** buffer)
{
    if (!buffer) return E_POINTER;
    *buffer = m_buffer;
    return S_OK;
}

HRESULT CMediaSample::GetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop)
{
    if (!start || !stop) return E_POINTER;
    if (!m_has_time) return VFW_E_SAMPLE_TIME_NOT_SET;
    *start = m_start;
    *stop = m_has_stop ? m_stop : m_start + 1;
    return m_has_stop ? S_OK : VFW_S_NO_STOP_TIME;
}

HRESULT CMediaSample::SetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop)
{
    m_has_time = start != nullptr;
    m_has_stop = start && stop;
    if (start) m_start = *start;
    if (stop) m_stop = *stop;
    return S_OK;
}

HRESULT CMediaSample::SetSyncPoint(BOOL sync)
{
    m_sync = sync != FALSE;
    return S_OK;
}

HRESULT CMediaSample::SetPreroll(BOOL preroll)
{
    m_preroll = preroll != FALSE;
    return S_OK;
}

HRESULT CMediaSample::SetActualDataLength(LONG length)
{
    if (length < 0 || length > m_size) return VFW_E_BUFFER_OVERFLOW;
    m_actual = length;
    return S_OK;
}

HRESULT CMediaSample::GetMediaType(AM_MEDIA_TYPE** type)
{
    if (!type) return E_POINTER;
    if (!m_type) {
        *type = nullptr;
        return S_FALSE;
    }
    *type = CreateMediaType(m_type);
    return *type ? S_OK : E_OUTOFMEMORY;
}

HRESULT CMediaSample::SetMediaType(AM_MEDIA_TYPE* type)
{
    DeleteMediaType(m_type);
    m_type = nullptr;
    if (!type) return S_OK;
    m_type = CreateMediaType(type);
    return m_type ? S_OK : E_OUTOFMEMORY;
}

HRESULT CMediaSample::SetDiscontinuity(BOOL discontinuity)
{
    m_discontinuity = discontinuity != FALSE;
    return S_OK;
}

HRESULT CMediaSample::GetMediaTime(LONGLONG* start, LONGLONG* stop)
{
    if (!start || !stop) return E_POINTER;
    if (!m_has_media_time) return VFW_E_MEDIA_TIME_NOT_SET;
    *start = m_media_start;
    *stop = m_media_stop;
    return S_OK;
}

HRESULT CMediaSample::SetMediaTime(LONGLONG* start, LONGLONG* stop)
{
    m_has_media_time = start && stop;
    if (m_has_media_time) {
        m_media_start = *start;
        m_media_stop = *stop;
    }
    return S_OK;
}

CMemAllocator::~CMemAllocator() = default;

HRESULT CMemAllocator::QueryInterface(REFIID riid, void** object)
{
    if (!object) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IMemAllocator) {
        *object = static_cast<IMemAllocator*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG CMemAllocator::AddRef() { return ++m_ref; }

ULONG CMemAllocator::Release()
{
    ULONG left = --m_ref;
    if (left == 0) delete this;
    return left;
}

HRESULT CMemAllocator::SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual)
{
    if (!request || !actual) return E_POINTER;
    std::scoped_lock hold(m_lock);
    if (m_committed) return VFW_E_ALREADY_COMMITTED;
    if (m_free.size() != m_samples.size()) return VFW_E_BUFFERS_OUTSTANDING;
    if (request->cBuffers < 0 || request->cbBuffer < 0 || request->cbPrefix < 0) return E_INVALIDARG;
    m_props.cBuffers = std::max<LONG>(request->cBuffers, 1);
    m_props.cbBuffer = request->cbBuffer;
    m_props.cbAlign = std::max<LONG>(request->cbAlign, 1);
    m_props.cbPrefix = request->cbPrefix;
    m_allocated_for_props = false;
    *actual = m_props;
    return S_OK;
}

HRESULT CMemAllocator::GetProperties(ALLOCATOR_PROPERTIES* props)
{
    if (!props) return E_POINTER;
    std::scoped_lock hold(m_lock);
    *props = m_props;
    return S_OK;
}

HRESULT CMemAllocator::allocate() try
{
    m_free.clear();
    m_samples.clear();
    m_memory.clear();
    for (LONG i = 0; i < m_props.cBuffers; ++i) {
        m_memory.push_back(std::make_unique<BYTE[]>(static_cast<std::size_t>(m_props.cbBuffer + m_props.cbPrefix)));
        m_samples.push_back(
            std::make_unique<CMediaSample>(this, m_memory.back().get() + m_props.cbPrefix, m_props.cbBuffer));
        m_free.push_back(m_samples.back().get());
    }
    m_allocated_for_props = true;
    return S_OK;
} catch (const std::bad_alloc&) {
    m_free.clear();
    m_samples.clear();
    m_memory.clear();
    return E_OUTOFMEMORY;
}

HRESULT CMemAllocator::Commit()
{
    std::scoped_lock hold(m_lock);
    if (m_committed) return S_OK;
    if (m_props.cbBuffer <= 0) return VFW_E_SIZENOTSET;
    if (!m_allocated_for_props) {
        if (m_free.size() != m_samples.size()) return VFW_E_BUFFERS_OUTSTANDING;
        HRESULT hr = allocate();
        if (FAILED(hr)) return hr;
    }
    m_committed = true;
    return S_OK;
}

HRESULT CMemAllocator::Decommit()
{
    {
        std::scoped_lock hold(m_lock);
        m_committed = false;
    }
    m_freed.notify_all();
    return S_OK;
}

HRESULT CMemAllocator::GetBuffer(IMediaSample** sample, REFERENCE_TIME*, REFERENCE_TIME*, DWORD)
{
    if (!sample) return E_POINTER;
    *sample = nullptr;
    CMediaSample* taken = nullptr;
    {
        std::unique_lock hold(m_lock);
        m_freed.wait(hold, [this] { return !m_committed || !m_free.empty(); });
        if (!m_committed) return VFW_E_NOT_COMMITTED;
        taken = m_free.back();
        m_free.pop_back();
    }
    AddRef();   // an outstanding sample keeps its pool alive
    taken->ResetForReuse();
    taken->AddRef();
    *sample = taken;
    return S_OK;
}

HRESULT CMemAllocator::ReleaseBuffer(IMediaSample* sample)
{
    if (!sample) return E_POINTER;
    {
        std::scoped_lock hold(m_lock);
        m_free.push_back(static_cast<CMediaSample*>(sample));
    }
    m_freed.notify_one();
    Release();
    return S_OK;
}
