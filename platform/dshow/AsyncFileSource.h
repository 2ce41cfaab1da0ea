#pragma once
// plat::AsyncFileSource: the "File Source" filter. It loads a file and offers
// it on one output pin through IAsyncReader. A file that is still being
// written can be read while it grows: until the writer is done, Length
// reports the total as unknown (0) and the bytes written so far as available.

#include "platform/dshow/BaseFilter.h"

#include <atomic>
#include <memory>
#include <string>

namespace plat {

enum class Growth { Complete, Growing };

class AsyncFileSource final : public CBaseFilter, public IFileSourceFilter {
public:
    explicit AsyncFileSource(Growth growth = Growth::Complete);

    HRESULT QueryInterface(REFIID riid, void** object) override { return CBaseFilter::QueryInterface(riid, object); }
    ULONG AddRef() override { return CBaseFilter::AddRef(); }
    ULONG Release() override { return CBaseFilter::Release(); }
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** object) override;

    // The type's subtype is offered on the pin; a null type offers any stream.
    HRESULT Load(LPCWSTR file_name, const AM_MEDIA_TYPE* type) override;
    // The type, when given, is the one the pin offers.
    HRESULT GetCurFile(LPWSTR* file_name, AM_MEDIA_TYPE* type) override;

    int GetPinCount() override;
    CBasePin* GetPin(int n) override;

    // The writer calls this once the file is whole.
    void set_growth(Growth growth);

private:
    ~AsyncFileSource() override;
    class OutputPin;
    CCritSec m_lock;
    std::unique_ptr<OutputPin> m_pin;   // made by Load; guarded by m_lock
    std::u16string m_file_name;         // as loaded; guarded by m_lock
    std::atomic<bool> m_growing;
};

}
