#pragma once
// "Corva SubTitle": sits between the video decoder and the renderer and
// passes every picture through unchanged. The engine tells it, through its
// property set, the source's path (0), that it is on (1) and the position
// in milliseconds (4); no subtitle is read or drawn here, so they are kept
// for whoever asks.

#include "StreamFilter.h"
#include "platform/dshow/Interfaces.h"

#include <mutex>
#include <string>

namespace filters {

inline constexpr CLSID CLSID_CorvaSubTitle = plat::make_guid("{493E2C64-43F2-40BC-883F-134FF1C1E864}");
inline constexpr GUID PROPSETID_CorvaSubTitle = plat::make_guid("{7743C91D-9A73-4FC4-952C-36A24E61A8CA}");

enum SubtitleProperty : DWORD { SubtitleSourcePath = 0, SubtitleEnabled = 1, SubtitlePosition = 4 };

class CorvaSubTitle final : public StreamFilter, public IKsPropertySet {
public:
    CorvaSubTitle();

    HRESULT QueryInterface(REFIID iid, void** object) override { return StreamFilter::QueryInterface(iid, object); }
    ULONG AddRef() override { return StreamFilter::AddRef(); }
    ULONG Release() override { return StreamFilter::Release(); }
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;

    HRESULT Set(REFGUID set, DWORD id, LPVOID instance, DWORD instance_length, LPVOID data, DWORD length) override;
    HRESULT Get(REFGUID set, DWORD id, LPVOID instance, DWORD instance_length, LPVOID data, DWORD length,
                DWORD* returned) override;
    HRESULT QuerySupported(REFGUID set, DWORD id, DWORD* support) override;

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
    CMediaType m_type;              // guarded by m_lock; the input's, given on unchanged
    std::string m_source_path;      // guarded by m_lock
    DWORD m_enabled = 0;            // guarded by m_lock
    DWORD m_position_ms = 0;        // guarded by m_lock
};

}
