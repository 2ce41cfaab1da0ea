#pragma once
// CMemAllocator and CMediaSample: a fixed pool of equal heap buffers handed
// out as counted samples; a sample returns to the pool on its last Release.

#include "platform/dshow/Interfaces.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

class CMemAllocator;

class CMediaSample final : public IMediaSample {
public:
    CMediaSample(CMemAllocator* allocator, BYTE* buffer, LONG size);
    ~CMediaSample();

    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;

    HRESULT GetPointer(BYTE** buffer) override;
    LONG GetSize() override { return m_size; }
    HRESULT GetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) override;
    HRESULT SetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) override;
    HRESULT IsSyncPoint() override { return m_sync ? S_OK : S_FALSE; }
    HRESULT SetSyncPoint(BOOL sync) override;
    HRESULT IsPreroll() override { return m_preroll ? S_OK : S_FALSE; }
    HRESULT SetPreroll(BOOL preroll) override;
    LONG GetActualDataLength() override { return m_actual; }
    HRESULT SetActualDataLength(LONG length) override;
    HRESULT GetMediaType(AM_MEDIA_TYPE** type) override;
    HRESULT SetMediaType(AM_MEDIA_TYPE* type) override;
    HRESULT IsDiscontinuity() override { return m_discontinuity ? S_OK : S_FALSE; }
    HRESULT SetDiscontinuity(BOOL discontinuity) override;
    HRESULT GetMediaTime(LONGLONG* start, LONGLONG* stop) override;
    HRESULT SetMediaTime(LONGLONG* start, LONGLONG* stop) override;

    // Clears times, flags and the type before the sample is handed out again.
    void ResetForReuse();

private:
    CMemAllocator* m_allocator;
    BYTE* m_buffer;
    const LONG m_size;
    LONG m_actual{0};
    bool m_has_time{false}, m_has_stop{false}, m_has_media_time{false};
    REFERENCE_TIME m_start{0}, m_stop{0};
    LONGLONG m_media_start{0}, m_media_stop{0};
    bool m_sync{false}, m_preroll{false}, m_discontinuity{false};
    AM_MEDIA_TYPE* m_type{nullptr};   // owned
    std::atomic<ULONG> m_ref{0};
};

class CMemAllocator final : public IMemAllocator {
public:
    CMemAllocator() = default;

    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;

    HRESULT SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) override;
    HRESULT GetProperties(ALLOCATOR_PROPERTIES* props) override;
    HRESULT Commit() override;
    HRESULT Decommit() override;
    HRESULT GetBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop, DWORD flags) override;
    HRESULT ReleaseBuffer(IMediaSample* sample) override;

private:
    ~CMemAllocator();
    HRESULT allocate();   // caller holds m_lock

    std::mutex m_lock;
    std::condition_variable m_freed;
    ALLOCATOR_PROPERTIES m_props{};               // guarded by m_lock
    bool m_committed{false};                      // guarded by m_lock
    bool m_allocated_for_props{false};            // guarded by m_lock
    std::vector<std::unique_ptr<BYTE[]>> m_memory;            // guarded by m_lock
    std::vector<std::unique_ptr<CMediaSample>> m_samples;     // guarded by m_lock
    std::vector<CMediaSample*> m_free;                        // guarded by m_lock
    std::atomic<ULONG> m_ref{0};
};
