#pragma once
// The DMO wrapper filter: a DirectX Media Object that processes in place,
// made by class id through IDMOWrapperFilter::Init, as a filter whose output
// type is its input type. The DMO's own interfaces are reached through the
// filter, which holds it as its inner object.

#include "StreamFilter.h"
#include "platform/com/ComPtr.h"
#include "platform/dshow/Dmo.h"

#include <mutex>

namespace filters {

class DmoWrapperFilter final : public StreamFilter, public IDMOWrapperFilter {
public:
    DmoWrapperFilter();

    HRESULT QueryInterface(REFIID iid, void** object) override { return StreamFilter::QueryInterface(iid, object); }
    ULONG AddRef() override { return StreamFilter::AddRef(); }
    ULONG Release() override { return StreamFilter::Release(); }
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;

    // Only while the input is unconnected; the DMO must process in place.
    HRESULT Init(REFCLSID dmo, REFCLSID category) override;

private:
    HRESULT check_input(const CMediaType& type) const override;
    HRESULT input_connected(const CMediaType& type) override;
    HRESULT output_type(int position, CMediaType* type) const override;
    void output_chosen(const CMediaType&) override {}
    LONG output_buffer_size() const override;
    LONG output_buffer_count() const override { return 4; }
    void receive(IMediaSample* sample) override;
    void drain() override {}
    void flush() override {}

    mutable std::mutex m_lock;
    plat::ComPtr<IMediaObject> m_object;             // guarded by m_lock; set by Init
    plat::ComPtr<IMediaObjectInPlace> m_in_place;    // guarded by m_lock; the same object
    CMediaType m_type;                               // guarded by m_lock; the input's, given on unchanged
};

}
