#pragma once
// Snapshot enumerators of pins and media types.

#include "platform/com/ComPtr.h"
#include "platform/dshow/Interfaces.h"
#include "platform/dshow/MediaType.h"

#include <atomic>
#include <vector>

namespace plat {

class PinEnumerator final : public IEnumPins {
public:
    explicit PinEnumerator(std::vector<ComPtr<IPin>> pins) : m_pins(std::move(pins)) {}
    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override { return ++m_ref; }
    ULONG Release() override;
    HRESULT Next(ULONG count, IPin** pins, ULONG* fetched) override;
    HRESULT Skip(ULONG count) override;
    HRESULT Reset() override;

private:
    ~PinEnumerator() = default;
    std::vector<ComPtr<IPin>> m_pins;
    std::size_t m_next{0};
    std::atomic<ULONG> m_ref{0};
};

class MediaTypeEnumerator final : public IEnumMediaTypes {
public:
    explicit MediaTypeEnumerator(std::vector<CMediaType> types) : m_types(std::move(types)) {}
    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override { return ++m_ref; }
    ULONG Release() override;
    HRESULT Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) override;
    HRESULT Skip(ULONG count) override;
    HRESULT Reset() override;

private:
    ~MediaTypeEnumerator() = default;
    std::vector<CMediaType> m_types;
    std::size_t m_next{0};
    std::atomic<ULONG> m_ref{0};
};

}
